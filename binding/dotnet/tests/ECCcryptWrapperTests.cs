using System;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text;
using System.Text.RegularExpressions;
using System.Threading.Tasks;
using Orvane.Common.CryptographyWrapper;
using Xunit;

namespace Orvane.Common.CryptographyWrapper.Tests
{
    public class ECCcryptWrapperTests
    {
        // DER headers of the key texts: PKCS #8 and SubjectPublicKeyInfo, both naming P-256.
        private const string PrivateKeyHeader = "3041020100301306072A8648CE3D020106082A8648CE3D030107042730250201010420";
        private const string PublicKeyHeader = "3059301306072A8648CE3D020106082A8648CE3D03010703420004";

        private static readonly Regex UpperHex = new Regex("^(?:[0-9A-F]{2})*$");

        private static (string PrivateKey, string PublicKey) NewKeys()
        {
            string privateKey = "", publicKey = "";
            ECCcryptWrapper.GenerateEccKeys(64, ref privateKey, ref publicKey);
            return (privateKey, publicKey);
        }

        private static readonly (string PrivateKey, string PublicKey) Keys = NewKeys();

        private static string EncryptText(string publicKey, string message)
        {
            string ciphertext = "";
            Assert.NotEqual(0u, ECCcryptWrapper.Encrypt(ref publicKey, ref message, ref ciphertext));
            return ciphertext;
        }

        private static string DecryptText(string privateKey, string ciphertext) =>
            ECCcryptWrapper.Decrypt(ref privateKey, ref ciphertext);

        [Theory]
        [InlineData(0u)]
        [InlineData(1u)]
        [InlineData(32u)]
        [InlineData(4096u)]
        [InlineData(uint.MaxValue)]
        public void GenerateEccKeys_WritesKeyTextsWhateverTheSeedSize(uint seedBytes)
        {
            string privateKey = "", publicKey = "";
            ECCcryptWrapper.GenerateEccKeys(seedBytes, ref privateKey, ref publicKey);

            Assert.Equal(134, privateKey.Length);
            Assert.Equal(182, publicKey.Length);
            Assert.Matches(UpperHex, privateKey);
            Assert.Matches(UpperHex, publicKey);
            Assert.StartsWith(PrivateKeyHeader, privateKey);
            Assert.StartsWith(PublicKeyHeader, publicKey);
            Assert.Equal("Round trip", DecryptText(privateKey, EncryptText(publicKey, "Round trip")));
        }

        [Theory]
        [InlineData("not a key", "not a key either")]
        [InlineData("A", "A")]
        [InlineData(PrivateKeyHeader, PublicKeyHeader)]
        public void GenerateEccKeys_ReplacesNonEmptyArguments(string privateIn, string publicIn)
        {
            string privateKey = privateIn, publicKey = publicIn;
            ECCcryptWrapper.GenerateEccKeys(64, ref privateKey, ref publicKey);

            Assert.Equal(134, privateKey.Length);
            Assert.Equal(182, publicKey.Length);
            Assert.NotEqual(privateIn, privateKey);
            Assert.NotEqual(publicIn, publicKey);
            Assert.Equal("fresh", DecryptText(privateKey, EncryptText(publicKey, "fresh")));
        }

        [Fact]
        public void GenerateEccKeys_MakesADifferentPairEachCall()
        {
            var first = NewKeys();
            var second = NewKeys();
            Assert.NotEqual(first.PrivateKey, second.PrivateKey);
            Assert.NotEqual(first.PublicKey, second.PublicKey);
        }

        public static TheoryData<string> Messages => new TheoryData<string>
        {
            "",
            "Attack at dawn.",
            "Déjà vu, naïve café, Ærøskøbing, Grüße",
            "東京都 中文 日本語 한국어",
            "🙂🚀 mixed 🎉 emoji \U0001F9EA",
            "line\r\nbreaks\tand\u00A0spaces",
            new string('x', 100000),
        };

        [Theory]
        [MemberData(nameof(Messages))]
        public void RoundTrip_ReturnsTheMessage(string message)
        {
            string publicKey = Keys.PublicKey, plain = message, ciphertext = "";
            string publicBefore = publicKey, plainBefore = plain;

            uint size = ECCcryptWrapper.Encrypt(ref publicKey, ref plain, ref ciphertext);

            Assert.Equal((uint)Encoding.UTF8.GetByteCount(message) + 85u, size);
            Assert.Equal(2 * (int)size, ciphertext.Length);
            Assert.Matches(UpperHex, ciphertext);
            Assert.Same(publicBefore, publicKey);
            Assert.Same(plainBefore, plain);
            string privateKey = Keys.PrivateKey, ciphertextBefore = ciphertext;
            Assert.Equal(message, ECCcryptWrapper.Decrypt(ref privateKey, ref ciphertext));
            Assert.Same(ciphertextBefore, ciphertext);
        }

        [Fact]
        public void Encrypt_UsesAFreshEphemeralKeyEachCall()
        {
            Assert.NotEqual(EncryptText(Keys.PublicKey, "same"), EncryptText(Keys.PublicKey, "same"));
        }

        [Theory]
        [InlineData("abc\0def", "abc")]
        [InlineData("\0hidden", "")]
        [InlineData("é\0\0", "é")]
        public void RoundTrip_StopsAtTheFirstNulCharacter(string message, string expected)
        {
            string publicKey = Keys.PublicKey, plain = message, ciphertext = "";
            uint size = ECCcryptWrapper.Encrypt(ref publicKey, ref plain, ref ciphertext);

            Assert.Equal((uint)Encoding.UTF8.GetByteCount(expected) + 85u, size);
            Assert.Equal(expected, DecryptText(Keys.PrivateKey, ciphertext));
        }

        [Fact]
        public void Decrypt_AcceptsLowerCaseCiphertextText()
        {
            string ciphertext = EncryptText(Keys.PublicKey, "case");
            Assert.Equal("case", DecryptText(Keys.PrivateKey, ciphertext.ToLowerInvariant()));
        }

        public static TheoryData<string, Func<string, string>> Damage => new TheoryData<string, Func<string, string>>
        {
            { "a digit of the ephemeral point changed", c => Flip(c, 10) },
            { "a digit of the masked message changed", c => Flip(c, 130 + 3) },
            { "a digit of the tag changed", c => Flip(c, c.Length - 1) },
            { "the last byte cut off", c => c.Substring(0, c.Length - 2) },
            { "one byte appended", c => c + "00" },
            { "only the point and tag left", c => c.Substring(0, 130) + c.Substring(c.Length - 40) },
            { "shorter than point and tag", c => c.Substring(0, 168) },
            { "empty text", c => "" },
            { "not hex at all", c => new string('Z', c.Length) },
        };

        private static string Flip(string hex, int index)
        {
            char[] chars = hex.ToCharArray();
            chars[index] = chars[index] == '0' ? '1' : '0';
            return new string(chars);
        }

        [Theory]
        [MemberData(nameof(Damage))]
        public void Decrypt_OfADamagedCiphertext_ReturnsEmpty(string what, Func<string, string> damage)
        {
            string ciphertext = EncryptText(Keys.PublicKey, "a secret of some length");
            Assert.True(DecryptText(Keys.PrivateKey, damage(ciphertext)) == "", what);
        }

        [Fact]
        public void Decrypt_WithAnotherKey_ReturnsEmpty()
        {
            string ciphertext = EncryptText(Keys.PublicKey, "for one key only");
            Assert.Equal("", DecryptText(NewKeys().PrivateKey, ciphertext));
        }

        [Theory]
        [InlineData("")]
        [InlineData("not a key")]
        [InlineData(PrivateKeyHeader)]
        public void Decrypt_WithAnInvalidPrivateKey_ReturnsEmpty(string privateKey)
        {
            string ciphertext = EncryptText(Keys.PublicKey, "message");
            Assert.Equal("", DecryptText(privateKey, ciphertext));
        }

        [Theory]
        [InlineData("")]
        [InlineData("not a key")]
        [InlineData(PublicKeyHeader)]
        public void Encrypt_WithAnInvalidPublicKey_ReturnsZeroAndLeavesTheOutput(string publicKey)
        {
            string message = "message", before = "kept as passed in", ciphertext = before;
            Assert.Equal(0u, ECCcryptWrapper.Encrypt(ref publicKey, ref message, ref ciphertext));
            Assert.Same(before, ciphertext);
        }

        [Fact]
        public void Encrypt_WithThePrivateKeyTextAsPublicKey_ReturnsZero()
        {
            string publicKey = Keys.PrivateKey, message = "message", ciphertext = "";
            Assert.Equal(0u, ECCcryptWrapper.Encrypt(ref publicKey, ref message, ref ciphertext));
            Assert.Equal("", ciphertext);
        }

        // Each case calls one method with one null argument; the others hold distinct strings,
        // which must come back as the very same objects.
        public static TheoryData<string, string> NullArguments => new TheoryData<string, string>
        {
            { "GenerateEccKeys", "sPrivateKey" },
            { "GenerateEccKeys", "sPublicKey" },
            { "Encrypt", "sPublicKey" },
            { "Encrypt", "sMsgToEncrypt" },
            { "Encrypt", "encryptedMsg" },
            { "Decrypt", "sPrivateKey" },
            { "Decrypt", "sMsgToDecrytp" },
        };

        [Theory]
        [MemberData(nameof(NullArguments))]
        public void NullArgument_ThrowsNamingIt_AndChangesNothing(string method, string parameter)
        {
            MethodInfo info = typeof(ECCcryptWrapper).GetMethod(method);
            ParameterInfo[] parameters = info.GetParameters();
            object[] args = parameters
                .Select(p => p.ParameterType == typeof(uint) ? (object)64u
                    : p.Name == parameter ? null
                    : p.Name == "sPublicKey" ? Keys.PublicKey
                    : p.Name == "sPrivateKey" ? Keys.PrivateKey
                    : (object)("value of " + p.Name))
                .ToArray();
            object[] before = (object[])args.Clone();

            var error = Assert.Throws<TargetInvocationException>(() => info.Invoke(null, args));

            var nullError = Assert.IsType<ArgumentNullException>(error.InnerException);
            Assert.Equal(parameter, nullError.ParamName);
            for (int i = 0; i < args.Length; i++)
            {
                Assert.Same(before[i], args[i]);
            }
        }

        [Fact]
        public void ManyThreadsAtOnce_AllSucceed()
        {
            const int calls = 200;
            var failures = new System.Collections.Concurrent.ConcurrentBag<string>();
            Parallel.For(0, calls, new ParallelOptions { MaxDegreeOfParallelism = 16 }, i =>
            {
                // Every fourth call makes its own key pair; the others share one.
                var keys = i % 4 == 0 ? NewKeys() : Keys;
                string message = "message " + i + " ünïcödé 🙂";
                string ciphertext = "";
                string publicKey = keys.PublicKey, plain = message;
                uint size = ECCcryptWrapper.Encrypt(ref publicKey, ref plain, ref ciphertext);
                string privateKey = keys.PrivateKey;
                string decrypted = ECCcryptWrapper.Decrypt(ref privateKey, ref ciphertext);
                if (size == 0 || decrypted != message) failures.Add($"call {i}: size {size}, got \"{decrypted}\"");
            });
            Assert.Empty(failures);
        }

        // The public surface that callers compile against: names, parameter names and types.
        [Theory]
        [InlineData("GenerateEccKeys", typeof(void), "UInt32 uiKeySize|String& sPrivateKey|String& sPublicKey")]
        [InlineData("Encrypt", typeof(uint), "String& sPublicKey|String& sMsgToEncrypt|String& encryptedMsg")]
        [InlineData("Decrypt", typeof(string), "String& sPrivateKey|String& sMsgToDecrytp")]
        public void PublicMethods_HaveTheirPublishedSignatures(string name, Type result, string parameters)
        {
            MethodInfo info = typeof(ECCcryptWrapper).GetMethod(name, BindingFlags.Public | BindingFlags.Static);
            Assert.NotNull(info);
            Assert.Equal(result, info.ReturnType);
            Assert.Equal(parameters, string.Join("|", info.GetParameters().Select(p => p.ParameterType.Name + " " + p.Name)));
            Assert.All(info.GetParameters(), p => Assert.False(p.IsOut || p.IsIn));
        }

        [Fact]
        public void Assembly_HasVersionOneZeroAndIsNotComVisible()
        {
            Assembly assembly = typeof(ECCcryptWrapper).Assembly;
            Assert.Equal("Orvane.Common.CryptographyWrapper", assembly.GetName().Name);
            Assert.Equal(1, assembly.GetName().Version.Major);
            Assert.Equal(0, assembly.GetName().Version.Minor);
            Assert.False(assembly.GetCustomAttribute<ComVisibleAttribute>().Value);
            Assert.NotNull(typeof(ECCcryptWrapper).GetConstructor(Type.EmptyTypes));
            Assert.NotNull(typeof(ECCcryptWrapper).GetMethod("MarshalString", BindingFlags.NonPublic | BindingFlags.Static));
        }
    }
}
