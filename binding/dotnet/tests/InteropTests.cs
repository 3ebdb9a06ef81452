using System;
using System.Collections.Generic;
using System.Linq;
using System.Security.Cryptography;
using Org.BouncyCastle.Crypto;
using Org.BouncyCastle.Crypto.Parameters;
using Org.BouncyCastle.Pkcs;
using Org.BouncyCastle.X509;
using Orvane.Common.CryptographyWrapper.Recipes;
using Xunit;

namespace Orvane.Common.CryptographyWrapper.Tests
{
    // Our ciphertexts and key texts read and written by .NET's own cryptography (DotNetEcies)
    // and by Bouncy Castle C# (BouncyCastleEcies), both ways.
    public class InteropTests
    {
        private static readonly EccKeyPair Keys = EccEncryptionTests.Keys;

        public static IEnumerable<object[]> SizeData => EccEncryptionTests.SizeData;

        private static byte[] Altered(byte[] bytes, int index)
        {
            byte[] copy = (byte[])bytes.Clone();
            copy[index] ^= 0x80;
            return copy;
        }

        // Altered ephemeral point, masked message (when there is one) and tag.
        private static IEnumerable<byte[]> Tampered(byte[] ciphertext) =>
            new[] { 20, 65, ciphertext.Length - 1 }.Where(i => i < ciphertext.Length - 20 || i == ciphertext.Length - 1)
                                                    .Select(i => Altered(ciphertext, i));

        [Fact]
        public void ImportWithOurKeyTexts_DotNetReadsTheSameKeys()
        {
            using ECDiffieHellman publicKey = ECDiffieHellman.Create();
            publicKey.ImportSubjectPublicKeyInfo(Convert.FromHexString(Keys.PublicKey), out int publicRead);
            using ECDiffieHellman privateKey = ECDiffieHellman.Create();
            privateKey.ImportPkcs8PrivateKey(Convert.FromHexString(Keys.PrivateKey), out int privateRead);

            Assert.Equal(91, publicRead);
            Assert.Equal(67, privateRead);
            Assert.Equal(Keys.PublicKey, Convert.ToHexString(publicKey.ExportSubjectPublicKeyInfo()));
            ECParameters fromPrivate = privateKey.ExportParameters(true);
            ECParameters fromPublic = publicKey.ExportParameters(false);
            Assert.Equal(Convert.FromHexString(Keys.PrivateKey[^64..]), fromPrivate.D);
            Assert.Equal(fromPublic.Q.X, fromPrivate.Q.X);
            Assert.Equal(fromPublic.Q.Y, fromPrivate.Q.Y);
        }

        [Theory]
        [MemberData(nameof(SizeData))]
        public void DecryptWithDotNet_ReadsOurCiphertexts(int size)
        {
            byte[] message = EccEncryptionTests.Message(size);
            byte[] ciphertext = EccEncryption.Encrypt(Keys.PublicKey, message);

            Assert.Equal(message, DotNetEcies.Decrypt(Keys.PrivateKey, ciphertext));
            foreach (byte[] tampered in Tampered(ciphertext))
            {
                Assert.ThrowsAny<CryptographicException>(() => DotNetEcies.Decrypt(Keys.PrivateKey, tampered));
            }
        }

        [Theory]
        [MemberData(nameof(SizeData))]
        public void EncryptWithDotNet_DecryptsWithUs(int size)
        {
            byte[] message = EccEncryptionTests.Message(size);
            byte[] ciphertext = DotNetEcies.Encrypt(Keys.PublicKey, message);

            Assert.Equal(message.Length + EccEncryption.CiphertextOverhead, ciphertext.Length);
            Assert.Equal(message, EccEncryption.Decrypt(Keys.PrivateKey, ciphertext));
            foreach (byte[] tampered in Tampered(ciphertext))
            {
                Assert.Equal(EccStatus.AuthenticationFailed, Assert.Throws<EccException>(() => EccEncryption.Decrypt(Keys.PrivateKey, tampered)).Status);
            }
        }

        [Fact]
        public void ImportWithOurKeyTexts_BouncyCastleReadsTheSameKeys()
        {
            ECPublicKeyParameters publicKey = BouncyCastleEcies.PublicKey(Keys.PublicKey);
            ECPrivateKeyParameters privateKey = BouncyCastleEcies.PrivateKey(Keys.PrivateKey);

            Assert.True(publicKey.Parameters.G.Multiply(privateKey.D).Normalize().Equals(publicKey.Q));
            Assert.Equal(Keys.PublicKey, Convert.ToHexString(SubjectPublicKeyInfoFactory.CreateSubjectPublicKeyInfo(publicKey).GetDerEncoded()));
        }

        [Theory]
        [MemberData(nameof(SizeData))]
        public void DecryptWithBouncyCastle_ReadsOurCiphertexts(int size)
        {
            byte[] message = EccEncryptionTests.Message(size);
            byte[] ciphertext = EccEncryption.Encrypt(Keys.PublicKey, message);
            ECPrivateKeyParameters privateKey = BouncyCastleEcies.PrivateKey(Keys.PrivateKey);

            Assert.Equal(message, BouncyCastleEcies.Decrypt(privateKey, ciphertext));
            foreach (byte[] tampered in Tampered(ciphertext))
            {
                Exception e = Record.Exception(() => BouncyCastleEcies.Decrypt(privateKey, tampered));
                // An altered point is off the curve, which DecodePoint refuses.
                Assert.True(e is InvalidCipherTextException || e is ArgumentException, e?.ToString() ?? "decrypted");
            }
        }

        [Theory]
        [MemberData(nameof(SizeData))]
        public void EncryptWithBouncyCastle_DecryptsWithUs(int size)
        {
            byte[] message = EccEncryptionTests.Message(size);
            byte[] ciphertext = BouncyCastleEcies.Encrypt(BouncyCastleEcies.PublicKey(Keys.PublicKey), message);

            Assert.Equal(message, EccEncryption.Decrypt(Keys.PrivateKey, ciphertext));
            foreach (byte[] tampered in Tampered(ciphertext))
            {
                Assert.Equal(EccStatus.AuthenticationFailed, Assert.Throws<EccException>(() => EccEncryption.Decrypt(Keys.PrivateKey, tampered)).Status);
            }
        }

        [Fact]
        public void EncryptWithBouncyCastleKeys_KeyTextsFromItsEncodersWorkWithUs()
        {
            AsymmetricCipherKeyPair pair = BouncyCastleEcies.GenerateKeyPair();
            string publicKey = Convert.ToHexString(SubjectPublicKeyInfoFactory.CreateSubjectPublicKeyInfo(pair.Public).GetDerEncoded());
            string privateKey = Convert.ToHexString(PrivateKeyInfoFactory.CreatePrivateKeyInfo(pair.Private).GetDerEncoded());
            byte[] message = EccEncryptionTests.Message(1000);

            Assert.Equal(message, BouncyCastleEcies.Decrypt((ECPrivateKeyParameters)pair.Private, EccEncryption.Encrypt(publicKey, message)));
            Assert.Equal(message, EccEncryption.Decrypt(privateKey, BouncyCastleEcies.Encrypt((ECPublicKeyParameters)pair.Public, message)));
        }
    }
}
