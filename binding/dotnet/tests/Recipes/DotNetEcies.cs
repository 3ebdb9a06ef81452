using System;
using System.Security.Cryptography;

namespace Orvane.Common.CryptographyWrapper.Recipes
{
    /// <summary>
    /// The ciphertext format with nothing but .NET's own cryptography: ECDiffieHellman reads the
    /// key texts (ImportSubjectPublicKeyInfo, ImportPkcs8PrivateKey) and gives the shared x
    /// coordinate (DeriveRawSecretAgreement, .NET 8 and later); KDF2 is SHA1 over Z || counter
    /// (big-endian, from 1), the tag HMACSHA1. Layout and derivation as in BouncyCastleEcies.
    /// </summary>
    public static class DotNetEcies
    {
        private const int PointSize = 65;
        private const int MacKeySize = 16;
        private const int TagSize = 20;

        public static byte[] Encrypt(string publicKeyText, byte[] message)
        {
            using ECDiffieHellman recipient = ECDiffieHellman.Create();
            recipient.ImportSubjectPublicKeyInfo(Convert.FromHexString(publicKeyText), out _);
            using ECDiffieHellman ephemeral = ECDiffieHellman.Create(ECCurve.NamedCurves.nistP256);
            ECParameters q = ephemeral.ExportParameters(false);
            byte[] point = new byte[PointSize];
            point[0] = 0x04;
            q.Q.X.CopyTo(point, 1);
            q.Q.Y.CopyTo(point, 33);

            byte[] keys = Kdf2Sha1(point, ephemeral.DeriveRawSecretAgreement(recipient.PublicKey), MacKeySize + message.Length);
            byte[] ciphertext = new byte[PointSize + message.Length + TagSize];
            point.CopyTo(ciphertext, 0);
            for (int i = 0; i < message.Length; i++)
            {
                ciphertext[PointSize + i] = (byte)(message[i] ^ keys[MacKeySize + i]);
            }
            Tag(keys, ciphertext.AsSpan(PointSize, message.Length)).CopyTo(ciphertext, PointSize + message.Length);
            return ciphertext;
        }

        /// <summary>The message; throws CryptographicException for a short or altered ciphertext.</summary>
        public static byte[] Decrypt(string privateKeyText, byte[] ciphertext)
        {
            if (ciphertext.Length < PointSize + TagSize || ciphertext[0] != 0x04)
            {
                throw new CryptographicException("not an uncompressed ephemeral point and a tag");
            }
            int length = ciphertext.Length - PointSize - TagSize;
            using ECDiffieHellman recipient = ECDiffieHellman.Create();
            recipient.ImportPkcs8PrivateKey(Convert.FromHexString(privateKeyText), out _);
            // Creating the key validates the point: one not on the curve throws here.
            using ECDiffieHellman ephemeral = ECDiffieHellman.Create(new ECParameters
            {
                Curve = ECCurve.NamedCurves.nistP256,
                Q = new ECPoint { X = ciphertext[1..33], Y = ciphertext[33..65] },
            });
            byte[] keys = Kdf2Sha1(ciphertext[..PointSize], recipient.DeriveRawSecretAgreement(ephemeral.PublicKey), MacKeySize + length);

            byte[] tag = Tag(keys, ciphertext.AsSpan(PointSize, length));
            if (!CryptographicOperations.FixedTimeEquals(tag, ciphertext.AsSpan(PointSize + length)))
            {
                throw new CryptographicException("tag mismatch");
            }
            byte[] message = new byte[length];
            for (int i = 0; i < length; i++)
            {
                message[i] = (byte)(ciphertext[PointSize + i] ^ keys[MacKeySize + i]);
            }
            return message;
        }

        // KDF2 (IEEE P1363, counter from 1) over SHA-1 of Z = point || x.
        private static byte[] Kdf2Sha1(byte[] point, byte[] x, int length)
        {
            byte[] input = new byte[point.Length + x.Length + 4];
            point.CopyTo(input, 0);
            x.CopyTo(input, point.Length);
            byte[] output = new byte[length];
            for (int counter = 1, done = 0; done < length; counter++, done += 20)
            {
                input[^4] = (byte)(counter >> 24);
                input[^3] = (byte)(counter >> 16);
                input[^2] = (byte)(counter >> 8);
                input[^1] = (byte)counter;
                byte[] block = SHA1.HashData(input);
                Array.Copy(block, 0, output, done, Math.Min(20, length - done));
            }
            return output;
        }

        private static byte[] Tag(byte[] keys, ReadOnlySpan<byte> masked)
        {
            byte[] data = new byte[masked.Length + 8];
            masked.CopyTo(data);
            return HMACSHA1.HashData(keys.AsSpan(0, MacKeySize), data);
        }
    }
}
