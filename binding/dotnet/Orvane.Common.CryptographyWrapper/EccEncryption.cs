using System;
using System.Runtime.InteropServices;

namespace Orvane.Common.CryptographyWrapper
{
    /// <summary>
    /// P-256 key pairs and ECIES encryption of bytes, computed by the native libeccencryption in
    /// this process. Messages are any bytes (zero bytes included) and are never converted; a
    /// ciphertext is raw bytes, <see cref="CiphertextOverhead"/> more than its message. Key texts
    /// are those of <see cref="ECCcryptWrapper"/>, and so is the ciphertext format:
    /// <see cref="FromHex"/> turns the text that <see cref="ECCcryptWrapper.Encrypt"/> writes into
    /// the bytes that <see cref="Decrypt(string, byte[])"/> takes.
    /// <para>A failure throws <see cref="EccException"/> (a <see cref="System.Security.Cryptography.CryptographicException"/>)
    /// whose <see cref="EccException.Status"/> says why; <see cref="TryDecrypt(string, byte[], out byte[])"/>
    /// returns false instead. A null argument throws <see cref="ArgumentNullException"/>. No
    /// method keeps state; all are safe to call from any number of threads at once.</para>
    /// </summary>
    public static class EccEncryption
    {
        /// <summary>Bytes a ciphertext has beyond its message: the 65-byte ephemeral point and
        /// the 20-byte tag.</summary>
        public const int CiphertextOverhead = 85;

        // The longest byte array the runtime allocates; a ciphertext must fit one.
        private const int MaxArrayLength = 0x7FFFFFC7;

        /// <summary>Makes a fresh key pair from the operating system's random source.</summary>
        /// <returns>The pair's two key texts.</returns>
        /// <exception cref="EccException">Key generation failed (<see cref="EccStatus.InternalFailure"/>).</exception>
        public static EccKeyPair GenerateKeyPair()
        {
            NativeString privateKey = null;
            NativeString publicKey = null;
            try
            {
                Check(NativeMethods.eccencryption_generate_key_pair(out privateKey, out publicKey));
                return new EccKeyPair(AsciiText(privateKey), AsciiText(publicKey));
            }
            finally
            {
                privateKey?.Dispose();
                publicKey?.Dispose();
            }
        }

        /// <summary>Encrypts <paramref name="message"/> for the key in <paramref name="publicKey"/>.</summary>
        /// <param name="publicKey">A public-key text (182 hex characters of either case; other
        /// characters are skipped).</param>
        /// <param name="message">The message, any bytes.</param>
        /// <returns>The ciphertext, <see cref="CiphertextOverhead"/> bytes longer than the message.</returns>
        /// <exception cref="ArgumentNullException">An argument is null.</exception>
        /// <exception cref="EccException"><see cref="EccStatus.InvalidPublicKey"/>,
        /// <see cref="EccStatus.MessageTooLong"/> or <see cref="EccStatus.InternalFailure"/>.</exception>
        public static unsafe byte[] Encrypt(string publicKey, byte[] message)
        {
            RequireNotNull(publicKey, nameof(publicKey));
            RequireNotNull(message, nameof(message));
            fixed (byte* bytes = message)
            {
                return EncryptBytes(publicKey, bytes, message.Length);
            }
        }

        /// <summary>Decrypts <paramref name="ciphertext"/> with the key in <paramref name="privateKey"/>.</summary>
        /// <param name="privateKey">A private-key text (134 hex characters of either case; other
        /// characters are skipped).</param>
        /// <param name="ciphertext">The raw ciphertext bytes (use <see cref="FromHex"/> for a
        /// ciphertext text).</param>
        /// <returns>The message.</returns>
        /// <exception cref="ArgumentNullException">An argument is null.</exception>
        /// <exception cref="EccException"><see cref="EccStatus.InvalidPrivateKey"/>,
        /// <see cref="EccStatus.CiphertextTooShort"/>, <see cref="EccStatus.AuthenticationFailed"/>
        /// or <see cref="EccStatus.InternalFailure"/>.</exception>
        public static unsafe byte[] Decrypt(string privateKey, byte[] ciphertext)
        {
            RequireNotNull(privateKey, nameof(privateKey));
            RequireNotNull(ciphertext, nameof(ciphertext));
            fixed (byte* bytes = ciphertext)
            {
                Check(DecryptBytes(privateKey, bytes, ciphertext.Length, out byte[] message));
                return message;
            }
        }

        /// <summary>
        /// Decrypts <paramref name="ciphertext"/> like <see cref="Decrypt(string, byte[])"/>, for
        /// callers that treat a forged or damaged ciphertext as an ordinary outcome.
        /// </summary>
        /// <param name="privateKey">A private-key text.</param>
        /// <param name="ciphertext">The raw ciphertext bytes.</param>
        /// <param name="message">Receives the message, or null when decryption fails.</param>
        /// <returns>True when decryption succeeded; false on any failure.</returns>
        /// <exception cref="ArgumentNullException">An argument is null.</exception>
        public static unsafe bool TryDecrypt(string privateKey, byte[] ciphertext, out byte[] message)
        {
            RequireNotNull(privateKey, nameof(privateKey));
            RequireNotNull(ciphertext, nameof(ciphertext));
            fixed (byte* bytes = ciphertext)
            {
                return DecryptBytes(privateKey, bytes, ciphertext.Length, out message) == EccStatus.Ok;
            }
        }

#if NET
        /// <summary>Encrypts <paramref name="message"/> for the key in <paramref name="publicKey"/>;
        /// see <see cref="Encrypt(string, byte[])"/>.</summary>
        /// <param name="publicKey">A public-key text.</param>
        /// <param name="message">The message, any bytes.</param>
        /// <returns>The ciphertext, <see cref="CiphertextOverhead"/> bytes longer than the message.</returns>
        public static unsafe byte[] Encrypt(string publicKey, ReadOnlySpan<byte> message)
        {
            RequireNotNull(publicKey, nameof(publicKey));
            fixed (byte* bytes = message)
            {
                return EncryptBytes(publicKey, bytes, message.Length);
            }
        }

        /// <summary>Decrypts <paramref name="ciphertext"/>; see <see cref="Decrypt(string, byte[])"/>.</summary>
        /// <param name="privateKey">A private-key text.</param>
        /// <param name="ciphertext">The raw ciphertext bytes.</param>
        /// <returns>The message.</returns>
        public static unsafe byte[] Decrypt(string privateKey, ReadOnlySpan<byte> ciphertext)
        {
            RequireNotNull(privateKey, nameof(privateKey));
            fixed (byte* bytes = ciphertext)
            {
                Check(DecryptBytes(privateKey, bytes, ciphertext.Length, out byte[] message));
                return message;
            }
        }

        /// <summary>Decrypts <paramref name="ciphertext"/>; see <see cref="TryDecrypt(string, byte[], out byte[])"/>.</summary>
        /// <param name="privateKey">A private-key text.</param>
        /// <param name="ciphertext">The raw ciphertext bytes.</param>
        /// <param name="message">Receives the message, or null when decryption fails.</param>
        /// <returns>True when decryption succeeded; false on any failure.</returns>
        public static unsafe bool TryDecrypt(string privateKey, ReadOnlySpan<byte> ciphertext, out byte[] message)
        {
            RequireNotNull(privateKey, nameof(privateKey));
            fixed (byte* bytes = ciphertext)
            {
                return DecryptBytes(privateKey, bytes, ciphertext.Length, out message) == EccStatus.Ok;
            }
        }
#endif

        /// <summary>
        /// The bytes as upper-case hex text, two digits per byte: the ciphertext text that
        /// <see cref="ECCcryptWrapper.Encrypt"/> writes and <see cref="ECCcryptWrapper.Decrypt"/> reads.
        /// </summary>
        /// <param name="bytes">Any bytes, typically a ciphertext.</param>
        /// <returns>The text, twice as many characters as bytes.</returns>
        /// <exception cref="ArgumentNullException"><paramref name="bytes"/> is null.</exception>
        public static string ToHex(byte[] bytes)
        {
            RequireNotNull(bytes, nameof(bytes));
            const string digits = "0123456789ABCDEF";
            if (bytes.Length > int.MaxValue / 2)
            {
                throw new ArgumentException("EccEncryption.ToHex: too many bytes for one string", nameof(bytes));
            }
            char[] text = new char[bytes.Length * 2];
            for (int i = 0; i < bytes.Length; i++)
            {
                text[2 * i] = digits[bytes[i] >> 4];
                text[2 * i + 1] = digits[bytes[i] & 0xF];
            }
            return new string(text);
        }

        /// <summary>
        /// The bytes of a hex text, such as a ciphertext text that <see cref="ECCcryptWrapper.Encrypt"/>
        /// wrote, so that stored ciphertexts move to <see cref="Decrypt(string, byte[])"/> without
        /// being encrypted again.
        /// </summary>
        /// <param name="text">Two hex digits per byte, either case, nothing else.</param>
        /// <returns>The bytes.</returns>
        /// <exception cref="ArgumentNullException"><paramref name="text"/> is null.</exception>
        /// <exception cref="FormatException"><paramref name="text"/> has an odd length or a
        /// character that is not a hex digit.</exception>
        public static byte[] FromHex(string text)
        {
            RequireNotNull(text, nameof(text));
            if (text.Length % 2 != 0)
            {
                throw new FormatException("EccEncryption.FromHex: the text has an odd number of characters (" + text.Length + "); it needs two hex digits per byte");
            }
            byte[] bytes = new byte[text.Length / 2];
            for (int i = 0; i < bytes.Length; i++)
            {
                bytes[i] = (byte)(HexDigit(text, 2 * i) << 4 | HexDigit(text, 2 * i + 1));
            }
            return bytes;
        }

        private static int HexDigit(string text, int index)
        {
            char c = text[index];
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            throw new FormatException("EccEncryption.FromHex: character " + index + " is not a hex digit");
        }

        private static unsafe byte[] EncryptBytes(string publicKey, byte* message, int length)
        {
            // The ciphertext must fit a .NET array; refused before the native side does any work.
            if (length > MaxArrayLength - CiphertextOverhead)
            {
                throw new EccException(EccStatus.MessageTooLong);
            }
            byte[] key = KeyBytes(publicKey);
            NativeString ciphertext = null;
            try
            {
                int status;
                fixed (byte* keyBytes = key)
                {
                    status = NativeMethods.eccencryption_encrypt_bytes(keyBytes, (ulong)key.Length, message, (ulong)length, out ciphertext);
                }
                Check(status);
                return ToArray(ciphertext);
            }
            finally
            {
                ciphertext?.Dispose();
            }
        }

        // The status of decrypting; |message| is the message on success and null otherwise. The
        // copy of the private-key text is cleared on every path.
        private static unsafe EccStatus DecryptBytes(string privateKey, byte* ciphertext, int length, out byte[] message)
        {
            message = null;
            byte[] key = KeyBytes(privateKey);
            NativeString plain = null;
            try
            {
                EccStatus status;
                fixed (byte* keyBytes = key)
                {
                    status = (EccStatus)NativeMethods.eccencryption_decrypt_bytes(keyBytes, (ulong)key.Length, ciphertext, (ulong)length, out plain);
                }
                if (status == EccStatus.Ok)
                {
                    message = ToArray(plain);
                }
                return status;
            }
            finally
            {
                Array.Clear(key, 0, key.Length);
                plain?.Dispose();
            }
        }

        // A key text as the native side reads it: one byte per character. Key texts are ASCII;
        // any other character becomes a byte that is not a hex digit, which the native reader
        // skips as it skips any non-digit.
        private static byte[] KeyBytes(string keyText)
        {
            byte[] bytes = new byte[keyText.Length];
            for (int i = 0; i < keyText.Length; i++)
            {
                char c = keyText[i];
                bytes[i] = c < 0x80 ? (byte)c : (byte)'?';
            }
            return bytes;
        }

        private static void Check(int status) => Check((EccStatus)status);

        private static void Check(EccStatus status)
        {
            if (status != EccStatus.Ok)
            {
                throw new EccException(status);
            }
        }

        private static unsafe byte[] ToArray(NativeString s)
        {
            byte* bytes = s.Bytes(out ulong size);
            byte[] array = new byte[checked((int)size)];
            if (array.Length != 0)
            {
                Marshal.Copy((IntPtr)bytes, array, 0, array.Length);
            }
            return array;
        }

        private static unsafe string AsciiText(NativeString s)
        {
            byte* bytes = s.Bytes(out ulong size);
            return new string((sbyte*)bytes, 0, checked((int)size));
        }

        private static void RequireNotNull(object value, string name)
        {
            if (value == null)
            {
                throw new ArgumentNullException(name, "EccEncryption: " + name + " must not be null");
            }
        }
    }
}
