using System;
using System.Runtime.InteropServices;
using System.Security.Cryptography;

namespace Orvane.Common.CryptographyWrapper
{
    /// <summary>
    /// A failed <see cref="EccEncryption"/> operation. <see cref="Status"/> says why; the message
    /// is the native library's description of that status.
    /// </summary>
    public sealed class EccException : CryptographicException
    {
        /// <summary>Creates the exception for <paramref name="status"/>, with the native
        /// library's description of it as the message.</summary>
        /// <param name="status">Why the operation failed.</param>
        public EccException(EccStatus status) : base(StatusText(status))
        {
            Status = status;
        }

        /// <summary>Why the operation failed; never <see cref="EccStatus.Ok"/> for an exception
        /// that <see cref="EccEncryption"/> throws.</summary>
        public EccStatus Status { get; }

        // The native text is a fixed ASCII string that the library owns; it is never null.
        private static string StatusText(EccStatus status) =>
            Marshal.PtrToStringAnsi(NativeMethods.eccencryption_status_text((int)status));
    }
}
