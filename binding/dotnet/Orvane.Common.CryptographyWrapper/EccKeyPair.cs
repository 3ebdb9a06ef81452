using System;

namespace Orvane.Common.CryptographyWrapper
{
    /// <summary>
    /// A P-256 key pair as its two key texts: upper-case hex of the DER PKCS #8 private key (134
    /// characters) and of the DER X.509 SubjectPublicKeyInfo public key (182 characters), the same
    /// texts that <see cref="ECCcryptWrapper.GenerateEccKeys"/> writes.
    /// </summary>
    public sealed class EccKeyPair
    {
        /// <summary>Holds two key texts, for example ones read from storage.</summary>
        /// <param name="privateKey">The private-key text; must not be null.</param>
        /// <param name="publicKey">The public-key text; must not be null.</param>
        public EccKeyPair(string privateKey, string publicKey)
        {
            PrivateKey = privateKey ?? throw new ArgumentNullException(nameof(privateKey));
            PublicKey = publicKey ?? throw new ArgumentNullException(nameof(publicKey));
        }

        /// <summary>The private-key text, which <see cref="EccEncryption.Decrypt(string, byte[])"/> takes.</summary>
        public string PrivateKey { get; }

        /// <summary>The public-key text, which <see cref="EccEncryption.Encrypt(string, byte[])"/> takes.</summary>
        public string PublicKey { get; }
    }
}
