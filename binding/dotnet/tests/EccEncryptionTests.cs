using System;
using System.Collections.Generic;
using System.Linq;
using System.Runtime.InteropServices;
using System.Security.Cryptography;
using System.Text;
using System.Threading.Tasks;
using Xunit;

namespace Orvane.Common.CryptographyWrapper.Tests
{
    public class EccEncryptionTests
    {
        internal static readonly int[] Sizes = { 0, 1, 16, 20, 21, 1000, 65536 };

        internal static readonly EccKeyPair Keys = EccEncryption.GenerateKeyPair();
        private static readonly EccKeyPair OtherKeys = EccEncryption.GenerateKeyPair();

        public static IEnumerable<object[]> SizeData => Sizes.Select(size => new object[] { size });

        // Random bytes with zero bytes at the start, the middle and the end, where a conversion
        // to text would cut or drop them.
        internal static byte[] Message(int size)
        {
            byte[] message = RandomNumberGenerator.GetBytes(size);
            foreach (int i in new[] { 0, size / 2, size - 1 }.Where(i => i >= 0 && i < size))
            {
                message[i] = 0;
            }
            return message;
        }

        public static IEnumerable<object[]> MessageData =>
            Sizes.Select(size => new object[] { Message(size) })
                 .Append(new object[] { new byte[100] })
                 .Append(new object[] { Enumerable.Range(0, 256).Select(i => (byte)i).ToArray() });

        [Theory]
        [MemberData(nameof(MessageData))]
        public void EncryptWithAnyBytes_DecryptsToThemInEveryOverload(byte[] message)
        {
            byte[] ciphertext = EccEncryption.Encrypt(Keys.PublicKey, message);

            Assert.Equal(message.Length + EccEncryption.CiphertextOverhead, ciphertext.Length);
            Assert.Equal(0x04, ciphertext[0]);
            Assert.Equal(message, EccEncryption.Decrypt(Keys.PrivateKey, ciphertext));
            Assert.Equal(message, EccEncryption.Decrypt(Keys.PrivateKey, (ReadOnlySpan<byte>)ciphertext));
            Assert.True(EccEncryption.TryDecrypt(Keys.PrivateKey, ciphertext, out byte[] tried));
            Assert.Equal(message, tried);
            Assert.True(EccEncryption.TryDecrypt(Keys.PrivateKey, (ReadOnlySpan<byte>)ciphertext, out tried));
            Assert.Equal(message, tried);

            byte[] fromSpan = EccEncryption.Encrypt(Keys.PublicKey, new ReadOnlySpan<byte>(message));
            Assert.Equal(message, EccEncryption.Decrypt(Keys.PrivateKey, fromSpan));
        }

        [Fact]
        public void EncryptWithTheSameMessageTwice_GivesDifferentCiphertexts()
        {
            byte[] message = Message(16);
            Assert.NotEqual(EccEncryption.Encrypt(Keys.PublicKey, message), EccEncryption.Encrypt(Keys.PublicKey, message));
        }

        [Fact]
        public void EncryptWithASliceOfAnArray_EncryptsOnlyTheSlice()
        {
            byte[] buffer = Message(64);
            byte[] ciphertext = EccEncryption.Encrypt(Keys.PublicKey, buffer.AsSpan(10, 20));
            Assert.Equal(buffer.Skip(10).Take(20), EccEncryption.Decrypt(Keys.PrivateKey, ciphertext.AsSpan()));
        }

        [Fact]
        public void GenerateKeyPair_WritesTheWrappersKeyTextsAndFreshPairs()
        {
            EccKeyPair pair = EccEncryption.GenerateKeyPair();

            Assert.Equal(134, pair.PrivateKey.Length);
            Assert.Equal(182, pair.PublicKey.Length);
            Assert.StartsWith("3041020100301306072A8648CE3D020106082A8648CE3D030107042730250201010420", pair.PrivateKey);
            Assert.StartsWith("3059301306072A8648CE3D020106082A8648CE3D03010703420004", pair.PublicKey);
            Assert.NotEqual(Keys.PrivateKey, pair.PrivateKey);
            Assert.NotEqual(Keys.PublicKey, pair.PublicKey);

            string privateKey = pair.PrivateKey, publicKey = pair.PublicKey, text = "from bytes keys", ciphertext = "";
            Assert.NotEqual(0u, ECCcryptWrapper.Encrypt(ref publicKey, ref text, ref ciphertext));
            Assert.Equal(text, ECCcryptWrapper.Decrypt(ref privateKey, ref ciphertext));
        }

        public static IEnumerable<object[]> LenientKeyData => new[]
        {
            new object[] { Keys.PrivateKey.ToLowerInvariant(), Keys.PublicKey.ToLowerInvariant() },
            new object[] { Spaced(Keys.PrivateKey, " "), Spaced(Keys.PublicKey, ":\n") },
            // Characters beyond ASCII are not hex digits and are skipped like any other.
            new object[] { Spaced(Keys.PrivateKey, "é"), Spaced(Keys.PublicKey, "東") },
        };

        private static string Spaced(string key, string separator) =>
            string.Join(separator, Enumerable.Range(0, key.Length / 2).Select(i => key.Substring(2 * i, 2)));

        [Theory]
        [MemberData(nameof(LenientKeyData))]
        public void EncryptWithKeyTextsInOtherForms_ReadsTheSameKeys(string privateKey, string publicKey)
        {
            byte[] message = Message(21);
            Assert.Equal(message, EccEncryption.Decrypt(Keys.PrivateKey, EccEncryption.Encrypt(publicKey, message)));
            Assert.Equal(message, EccEncryption.Decrypt(privateKey, EccEncryption.Encrypt(Keys.PublicKey, message)));
        }

        private static byte[] Altered(byte[] bytes, int index)
        {
            byte[] copy = (byte[])bytes.Clone();
            copy[index] ^= 0x01;
            return copy;
        }

        public static IEnumerable<object[]> DecryptFailureData()
        {
            byte[] good = EccEncryption.Encrypt(Keys.PublicKey, Message(21));
            return new[]
            {
                new object[] { "wrong key", OtherKeys.PrivateKey, good, EccStatus.AuthenticationFailed },
                new object[] { "point prefix altered", Keys.PrivateKey, Altered(good, 0), EccStatus.AuthenticationFailed },
                new object[] { "point off the curve", Keys.PrivateKey, Altered(good, 40), EccStatus.AuthenticationFailed },
                new object[] { "masked message altered", Keys.PrivateKey, Altered(good, 70), EccStatus.AuthenticationFailed },
                new object[] { "tag altered", Keys.PrivateKey, Altered(good, good.Length - 1), EccStatus.AuthenticationFailed },
                new object[] { "last byte cut", Keys.PrivateKey, good[..^1], EccStatus.AuthenticationFailed },
                new object[] { "byte appended", Keys.PrivateKey, good.Append((byte)0).ToArray(), EccStatus.AuthenticationFailed },
                new object[] { "empty ciphertext", Keys.PrivateKey, Array.Empty<byte>(), EccStatus.CiphertextTooShort },
                new object[] { "84 bytes", Keys.PrivateKey, good[..84], EccStatus.CiphertextTooShort },
                new object[] { "not a key", "not a key", good, EccStatus.InvalidPrivateKey },
                new object[] { "empty key", "", good, EccStatus.InvalidPrivateKey },
                new object[] { "public key as private", Keys.PublicKey, good, EccStatus.InvalidPrivateKey },
                new object[] { "key cut short", Keys.PrivateKey[..^2], good, EccStatus.InvalidPrivateKey },
            };
        }

        [Theory]
        [MemberData(nameof(DecryptFailureData))]
        public void DecryptWithBadInput_ThrowsItsStatusAndLeavesTheInput(string condition, string privateKey, byte[] ciphertext, EccStatus status)
        {
            byte[] before = (byte[])ciphertext.Clone();

            EccException e = Assert.Throws<EccException>(() => EccEncryption.Decrypt(privateKey, ciphertext));
            Assert.True(e.Status == status, condition + ": " + e.Status);
            Assert.IsAssignableFrom<CryptographicException>(e);
            Assert.Equal(StatusTexts[status], e.Message);
            Assert.Equal(status, Assert.Throws<EccException>(() => EccEncryption.Decrypt(privateKey, (ReadOnlySpan<byte>)ciphertext)).Status);

            Assert.False(EccEncryption.TryDecrypt(privateKey, ciphertext, out byte[] message), condition);
            Assert.Null(message);
            Assert.False(EccEncryption.TryDecrypt(privateKey, (ReadOnlySpan<byte>)ciphertext, out message), condition);
            Assert.Null(message);
            Assert.Equal(before, ciphertext);
        }

        public static IEnumerable<object[]> BadPublicKeyData()
        {
            // The last hex digit of the point's y coordinate changed: a point off the curve.
            string offCurve = Keys.PublicKey[..^1] + (Keys.PublicKey[^1] == '0' ? '1' : '0');
            return new[]
            {
                new object[] { "" },
                new object[] { "not a key" },
                new object[] { Keys.PrivateKey },
                new object[] { offCurve },
                new object[] { Keys.PublicKey + "00" },
            };
        }

        [Theory]
        [MemberData(nameof(BadPublicKeyData))]
        public void EncryptWithBadPublicKey_ThrowsInvalidPublicKeyAndLeavesTheMessage(string publicKey)
        {
            byte[] message = Message(20);
            byte[] before = (byte[])message.Clone();

            EccException e = Assert.Throws<EccException>(() => EccEncryption.Encrypt(publicKey, message));
            Assert.Equal(EccStatus.InvalidPublicKey, e.Status);
            Assert.Equal(StatusTexts[EccStatus.InvalidPublicKey], e.Message);
            Assert.Equal(EccStatus.InvalidPublicKey, Assert.Throws<EccException>(() => EccEncryption.Encrypt(publicKey, message.AsSpan())).Status);
            Assert.Equal(before, message);
        }

        [Fact]
        public unsafe void EncryptWithMessageBeyondTheLargestArray_ThrowsMessageTooLong()
        {
            // Address space only: the length is refused before any byte is read.
            int length = 0x7FFFFFC7 - EccEncryption.CiphertextOverhead + 1;
            void* memory = NativeMemory.Alloc((nuint)length);
            try
            {
                EccException e = Assert.Throws<EccException>(() => EccEncryption.Encrypt(Keys.PublicKey, new ReadOnlySpan<byte>(memory, length)));
                Assert.Equal(EccStatus.MessageTooLong, e.Status);
                Assert.Equal(StatusTexts[EccStatus.MessageTooLong], e.Message);
            }
            finally
            {
                NativeMemory.Free(memory);
            }
        }

        // The native library's description of each status: a misnumbered enum member shows here.
        private static readonly Dictionary<EccStatus, string> StatusTexts = new Dictionary<EccStatus, string>
        {
            [EccStatus.Ok] = "success",
            [EccStatus.InvalidPublicKey] = "invalid public key",
            [EccStatus.InvalidPrivateKey] = "invalid private key",
            [EccStatus.CiphertextTooShort] = "ciphertext too short",
            [EccStatus.AuthenticationFailed] = "ciphertext failed authentication (wrong key or altered data)",
            [EccStatus.MessageTooLong] = "message too long",
            [EccStatus.InternalFailure] = "internal failure",
        };

        [Fact]
        public void EccExceptionWithEachStatus_CarriesTheNativeText()
        {
            Assert.Equal(StatusTexts.Keys.OrderBy(s => s), Enum.GetValues(typeof(EccStatus)).Cast<EccStatus>());
            foreach (EccStatus status in StatusTexts.Keys)
            {
                var e = new EccException(status);
                Assert.Equal(status, e.Status);
                Assert.Equal(StatusTexts[status], e.Message);
            }
            Assert.Equal("unknown status", new EccException((EccStatus)99).Message);
        }

        public static IEnumerable<object[]> NullArgumentData => new[]
        {
            new object[] { "publicKey", (Action)(() => EccEncryption.Encrypt(null, new byte[1])) },
            new object[] { "message", (Action)(() => EccEncryption.Encrypt(Keys.PublicKey, (byte[])null)) },
            new object[] { "publicKey", (Action)(() => EccEncryption.Encrypt(null, ReadOnlySpan<byte>.Empty)) },
            new object[] { "privateKey", (Action)(() => EccEncryption.Decrypt(null, new byte[100])) },
            new object[] { "ciphertext", (Action)(() => EccEncryption.Decrypt(Keys.PrivateKey, (byte[])null)) },
            new object[] { "privateKey", (Action)(() => EccEncryption.Decrypt(null, ReadOnlySpan<byte>.Empty)) },
            new object[] { "privateKey", (Action)(() => EccEncryption.TryDecrypt(null, new byte[100], out _)) },
            new object[] { "ciphertext", (Action)(() => EccEncryption.TryDecrypt(Keys.PrivateKey, (byte[])null, out _)) },
            new object[] { "privateKey", (Action)(() => EccEncryption.TryDecrypt(null, ReadOnlySpan<byte>.Empty, out _)) },
            new object[] { "bytes", (Action)(() => EccEncryption.ToHex(null)) },
            new object[] { "text", (Action)(() => EccEncryption.FromHex(null)) },
            new object[] { "privateKey", (Action)(() => new EccKeyPair(null, "")) },
            new object[] { "publicKey", (Action)(() => new EccKeyPair("", null)) },
        };

        [Theory]
        [MemberData(nameof(NullArgumentData))]
        public void CallWithNullArgument_ThrowsArgumentNullNamingIt(string parameter, Action call)
        {
            Assert.Equal(parameter, Assert.Throws<ArgumentNullException>(call).ParamName);
        }

        [Fact]
        public void FromHexWithWrapperCiphertextText_DecryptsWithoutReencrypting()
        {
            string publicKey = Keys.PublicKey, privateKey = Keys.PrivateKey;
            string text = "stored by the text API: Grüße", ciphertextText = "";
            Assert.NotEqual(0u, ECCcryptWrapper.Encrypt(ref publicKey, ref text, ref ciphertextText));

            byte[] ciphertext = EccEncryption.FromHex(ciphertextText);
            Assert.Equal(Encoding.UTF8.GetBytes(text), EccEncryption.Decrypt(privateKey, ciphertext));
            Assert.Equal(Encoding.UTF8.GetBytes(text), EccEncryption.Decrypt(privateKey, EccEncryption.FromHex(ciphertextText.ToLowerInvariant())));
            Assert.Equal(ciphertextText, EccEncryption.ToHex(ciphertext));
        }

        [Fact]
        public void ToHexWithBytesCiphertext_DecryptsWithTheWrapper()
        {
            byte[] message = Encoding.UTF8.GetBytes("written by the bytes API");
            string ciphertextText = EccEncryption.ToHex(EccEncryption.Encrypt(Keys.PublicKey, message));
            string privateKey = Keys.PrivateKey;

            Assert.Matches("^[0-9A-F]+$", ciphertextText);
            Assert.Equal("written by the bytes API", ECCcryptWrapper.Decrypt(ref privateKey, ref ciphertextText));
        }

        [Theory]
        [InlineData("0")]
        [InlineData("ABC")]
        [InlineData("0G")]
        [InlineData("00 11")]
        [InlineData("0x00")]
        public void FromHexWithMalformedText_ThrowsFormatException(string text)
        {
            Assert.Throws<FormatException>(() => EccEncryption.FromHex(text));
        }

        [Fact]
        public void EncryptAndDecryptWithManyThreads_AllRoundTrip()
        {
            Parallel.For(0, 64, new ParallelOptions { MaxDegreeOfParallelism = 8 }, i =>
            {
                byte[] message = Message(i * 37);
                byte[] ciphertext = EccEncryption.Encrypt(Keys.PublicKey, message);
                Assert.Equal(message, EccEncryption.Decrypt(Keys.PrivateKey, ciphertext));
                Assert.False(EccEncryption.TryDecrypt(OtherKeys.PrivateKey, ciphertext, out _));
            });
        }
    }
}
