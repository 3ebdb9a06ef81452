using System;
using Org.BouncyCastle.Asn1.Sec;
using Org.BouncyCastle.Crypto;
using Org.BouncyCastle.Crypto.Agreement;
using Org.BouncyCastle.Crypto.Digests;
using Org.BouncyCastle.Crypto.Generators;
using Org.BouncyCastle.Crypto.Macs;
using Org.BouncyCastle.Crypto.Parameters;
using Org.BouncyCastle.Math.EC;
using Org.BouncyCastle.Security;
using Org.BouncyCastle.Utilities;
using Org.BouncyCastle.Utilities.Encoders;

namespace Orvane.Common.CryptographyWrapper.Recipes
{
    /// <summary>
    /// The ciphertext format composed from Bouncy Castle C# primitives: ECDHBasicAgreement,
    /// Kdf2BytesGenerator over SHA-1 and HMac over SHA-1, keys read from the key texts with
    /// PublicKeyFactory and PrivateKeyFactory. Its IesEngine is not this profile (the ephemeral
    /// point does not enter its KDF), so the parts are put together here:
    ///   ciphertext = R (65 bytes, 04 || x || y) || C (m bytes) || T (20 bytes)
    ///   Z = R || x coordinate of the shared point, K = KDF2-SHA1(Z, 16 + m) with counter from 1
    ///   macKey = K[0..16), C = M xor K[16..16+m), T = HMAC-SHA1(macKey, C || 8 zero bytes)
    /// </summary>
    public static class BouncyCastleEcies
    {
        private const int PointSize = 65;
        private const int MacKeySize = 16;
        private const int TagSize = 20;

        private static readonly SecureRandom Random = new SecureRandom();

        public static ECPublicKeyParameters PublicKey(string publicKeyText) =>
            (ECPublicKeyParameters)PublicKeyFactory.CreateKey(Hex.Decode(publicKeyText));

        public static ECPrivateKeyParameters PrivateKey(string privateKeyText) =>
            (ECPrivateKeyParameters)PrivateKeyFactory.CreateKey(Hex.Decode(privateKeyText));

        /// <summary>A fresh P-256 key pair, the private key as Bouncy Castle holds it.</summary>
        public static AsymmetricCipherKeyPair GenerateKeyPair()
        {
            var generator = new ECKeyPairGenerator();
            generator.Init(new ECKeyGenerationParameters(SecObjectIdentifiers.SecP256r1, Random));
            return generator.GenerateKeyPair();
        }

        public static byte[] Encrypt(ECPublicKeyParameters recipient, byte[] message)
        {
            var generator = new ECKeyPairGenerator();
            generator.Init(new ECKeyGenerationParameters(recipient.Parameters, Random));
            AsymmetricCipherKeyPair ephemeral = generator.GenerateKeyPair();
            byte[] point = ((ECPublicKeyParameters)ephemeral.Public).Q.GetEncoded(false);

            byte[] keys = DeriveKeys((ECPrivateKeyParameters)ephemeral.Private, recipient, point, message.Length);
            byte[] ciphertext = new byte[PointSize + message.Length + TagSize];
            Array.Copy(point, ciphertext, PointSize);
            for (int i = 0; i < message.Length; i++)
            {
                ciphertext[PointSize + i] = (byte)(message[i] ^ keys[MacKeySize + i]);
            }
            byte[] tag = Tag(keys, ciphertext, message.Length);
            Array.Copy(tag, 0, ciphertext, PointSize + message.Length, TagSize);
            return ciphertext;
        }

        /// <summary>The message; throws InvalidCipherTextException for a short or altered
        /// ciphertext (an ephemeral point not on the curve throws from DecodePoint).</summary>
        public static byte[] Decrypt(ECPrivateKeyParameters recipient, byte[] ciphertext)
        {
            if (ciphertext.Length < PointSize + TagSize || ciphertext[0] != 0x04)
            {
                throw new InvalidCipherTextException("not an uncompressed ephemeral point and a tag");
            }
            int length = ciphertext.Length - PointSize - TagSize;
            byte[] point = Arrays.CopyOfRange(ciphertext, 0, PointSize);
            ECPoint ephemeral = recipient.Parameters.Curve.DecodePoint(point);
            byte[] keys = DeriveKeys(recipient, new ECPublicKeyParameters(ephemeral, recipient.Parameters), point, length);

            byte[] tag = Tag(keys, ciphertext, length);
            if (!Arrays.FixedTimeEquals(TagSize, tag, 0, ciphertext, PointSize + length))
            {
                throw new InvalidCipherTextException("tag mismatch");
            }
            byte[] message = new byte[length];
            for (int i = 0; i < length; i++)
            {
                message[i] = (byte)(ciphertext[PointSize + i] ^ keys[MacKeySize + i]);
            }
            return message;
        }

        // K = KDF2-SHA1(R || x, 16 + length): the MAC key, then the key stream.
        private static byte[] DeriveKeys(ECPrivateKeyParameters own, ECPublicKeyParameters other, byte[] point, int length)
        {
            var agreement = new ECDHBasicAgreement();
            agreement.Init(own);
            byte[] x = BigIntegers.AsUnsignedByteArray(agreement.GetFieldSize(), agreement.CalculateAgreement(other));
            var kdf = new Kdf2BytesGenerator(new Sha1Digest());
            kdf.Init(new KdfParameters(Arrays.Concatenate(point, x), null));
            byte[] keys = new byte[MacKeySize + length];
            kdf.GenerateBytes(keys, 0, keys.Length);
            return keys;
        }

        // HMAC-SHA1 under K[0..16) of the masked message followed by an 8-byte zero length tag.
        private static byte[] Tag(byte[] keys, byte[] ciphertext, int length)
        {
            var hmac = new HMac(new Sha1Digest());
            hmac.Init(new KeyParameter(keys, 0, MacKeySize));
            hmac.BlockUpdate(ciphertext, PointSize, length);
            hmac.BlockUpdate(new byte[8], 0, 8);
            byte[] tag = new byte[TagSize];
            hmac.DoFinal(tag, 0);
            return tag;
        }
    }
}
