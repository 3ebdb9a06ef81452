using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Orvane.Common.CryptographyWrapper
{
    /// <summary>
    /// P-256 key pairs and ECIES encryption of text, computed by the native libeccencryption in
    /// this process. Text crosses to the native side in the system's narrow character set: the
    /// ANSI code page on Windows (characters it lacks are replaced as Windows replaces them), UTF-8
    /// elsewhere; it survives a round trip up to its first U+0000. Failures are results, not exceptions: <see cref="Encrypt"/> returns
    /// 0 and <see cref="Decrypt"/> returns "". A null argument throws
    /// <see cref="ArgumentNullException"/> before anything is done. All methods are thread-safe.
    /// </summary>
    public class ECCcryptWrapper
    {
        /// <summary>Creates an instance; every method is static, so none is needed.</summary>
        public ECCcryptWrapper()
        {
        }

        /// <summary>
        /// Makes a fresh key pair and replaces <paramref name="sPrivateKey"/> (134 hex characters)
        /// and <paramref name="sPublicKey"/> (182 hex characters) with its texts. If key
        /// generation fails, both keep the values passed in.
        /// </summary>
        /// <param name="uiKeySize">Number of seed bytes for the random generator (32 to 4096 are
        /// used; smaller or larger values are clamped). It does not choose the key length.</param>
        /// <param name="sPrivateKey">Receives the private-key text; must not be null.</param>
        /// <param name="sPublicKey">Receives the public-key text; must not be null.</param>
        public static void GenerateEccKeys(UInt32 uiKeySize, ref String sPrivateKey, ref String sPublicKey)
        {
            RequireNotNull(sPrivateKey, nameof(sPrivateKey));
            RequireNotNull(sPublicKey, nameof(sPublicKey));
            NativeString privateKey = null;
            NativeString publicKey = null;
            try
            {
                MarshalString(sPrivateKey, ref privateKey);
                MarshalString(sPublicKey, ref publicKey);
                NativeMethods.eccencryption_generate_keys(uiKeySize, privateKey, publicKey);
                // Both results are made before either parameter changes.
                String privateText = FromNarrow(privateKey);
                String publicText = FromNarrow(publicKey);
                sPrivateKey = privateText;
                sPublicKey = publicText;
            }
            finally
            {
                privateKey?.Dispose();
                publicKey?.Dispose();
            }
        }

        /// <summary>
        /// Encrypts <paramref name="sMsgToEncrypt"/> for the key in <paramref name="sPublicKey"/>
        /// and replaces <paramref name="encryptedMsg"/> with the ciphertext as upper-case hex text,
        /// two digits per byte, which <see cref="Decrypt"/> takes as it stands.
        /// </summary>
        /// <param name="sPublicKey">A public-key text from <see cref="GenerateEccKeys"/>.</param>
        /// <param name="sMsgToEncrypt">The message; encrypted in the narrow character set (the ANSI
        /// code page on Windows, UTF-8 elsewhere), up to its first U+0000.</param>
        /// <param name="encryptedMsg">Receives the ciphertext text; left as passed in when
        /// encryption fails. Must not be null.</param>
        /// <returns>The ciphertext's byte count (the message's narrow byte count plus 85), or 0
        /// when encryption fails (for example, an invalid public-key text).</returns>
        public static UInt32 Encrypt(ref String sPublicKey, ref String sMsgToEncrypt, ref String encryptedMsg)
        {
            RequireNotNull(sPublicKey, nameof(sPublicKey));
            RequireNotNull(sMsgToEncrypt, nameof(sMsgToEncrypt));
            RequireNotNull(encryptedMsg, nameof(encryptedMsg));
            NativeString publicKey = null;
            NativeString message = null;
            NativeString ciphertext = null;
            try
            {
                MarshalString(sPublicKey, ref publicKey);
                MarshalString(sMsgToEncrypt, ref message);
                MarshalString(encryptedMsg, ref ciphertext);
                UInt32 size = NativeMethods.eccencryption_encrypt(publicKey, message, ciphertext);
                if (size != 0)
                {
                    encryptedMsg = HexText(ciphertext);
                }
                return size;
            }
            finally
            {
                publicKey?.Dispose();
                message?.Dispose();
                ciphertext?.Dispose();
            }
        }

        /// <summary>
        /// Decrypts a ciphertext text made by <see cref="Encrypt"/> with the matching private key.
        /// </summary>
        /// <param name="sPrivateKey">A private-key text from <see cref="GenerateEccKeys"/>.</param>
        /// <param name="sMsgToDecrytp">The ciphertext text, two hex digits per byte.</param>
        /// <returns>The message, or "" when decryption fails (wrong key, damaged or truncated
        /// ciphertext, invalid key text).</returns>
        public static String Decrypt(ref String sPrivateKey, ref String sMsgToDecrytp)
        {
            RequireNotNull(sPrivateKey, nameof(sPrivateKey));
            RequireNotNull(sMsgToDecrytp, nameof(sMsgToDecrytp));
            NativeString privateKey = null;
            NativeString ciphertext = null;
            NativeString message = null;
            try
            {
                MarshalString(sPrivateKey, ref privateKey);
                MarshalString(sMsgToDecrytp, ref ciphertext);
                message = NativeMethods.eccencryption_decrypt(privateKey, ciphertext);
                if (message.IsInvalid)
                {
                    throw new OutOfMemoryException("ECCcryptWrapper.Decrypt: out of native memory for the message");
                }
                return FromNarrow(message);
            }
            finally
            {
                privateKey?.Dispose();
                ciphertext?.Dispose();
                message?.Dispose();
            }
        }

        // Replaces os with a native copy of s in the narrow character set (the ANSI code page on
        // Windows, UTF-8 elsewhere), up to the first U+0000. The unmanaged buffer is released on
        // every path.
        private static void MarshalString(String s, ref NativeString os)
        {
            IntPtr narrow = Marshal.StringToHGlobalAnsi(s);
            try
            {
                NativeString copy = NativeMethods.eccencryption_string_new(narrow);
                if (copy.IsInvalid)
                {
                    copy.Dispose();
                    throw new OutOfMemoryException("ECCcryptWrapper: out of native memory for a string argument");
                }
                os?.Dispose();
                os = copy;
            }
            finally
            {
                Marshal.FreeHGlobal(narrow);
            }
        }

        private static void RequireNotNull(String value, String name)
        {
            if (value == null)
            {
                throw new ArgumentNullException(name, "ECCcryptWrapper: " + name + " must not be null; pass \"\" where its value does not matter");
            }
        }

        // A new string from the native string's bytes up to the first zero byte, decoded in the
        // narrow character set that MarshalString produces: the ANSI code page on Windows, so that
        // text Windows callers stored in that form reads back as it was; UTF-8 elsewhere, which is
        // what .NET uses there and keeps Mono the same whatever its locale settings.
        private static unsafe String FromNarrow(NativeString s)
        {
            byte* bytes = s.Bytes(out _);
            int length = 0;
            while (bytes[length] != 0)
            {
                length++;
            }
            if (IsWindows)
            {
                return Marshal.PtrToStringAnsi((IntPtr)bytes, length);
            }
            return new String((sbyte*)bytes, 0, length, Encoding.UTF8);
        }

        private static readonly bool IsWindows = Environment.OSVersion.Platform == PlatformID.Win32NT;

        // The native string's bytes as upper-case hex text, two digits per byte.
        private static unsafe String HexText(NativeString s)
        {
            const String digits = "0123456789ABCDEF";
            byte* bytes = s.Bytes(out ulong size);
            if (size > int.MaxValue / 2)
            {
                throw new OutOfMemoryException("ECCcryptWrapper.Encrypt: the ciphertext is too long for a .NET string");
            }
            char[] text = new char[(int)size * 2];
            for (int i = 0; i < (int)size; i++)
            {
                text[2 * i] = digits[bytes[i] >> 4];
                text[2 * i + 1] = digits[bytes[i] & 0xF];
            }
            return new String(text);
        }
    }
}
