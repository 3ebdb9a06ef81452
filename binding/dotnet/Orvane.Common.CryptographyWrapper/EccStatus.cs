namespace Orvane.Common.CryptographyWrapper
{
    /// <summary>
    /// The outcome of an <see cref="EccEncryption"/> operation, as the native library reports it.
    /// The values are those of the native interface and never change.
    /// </summary>
    public enum EccStatus
    {
        /// <summary>The operation succeeded.</summary>
        Ok = 0,

        /// <summary>Not a readable public-key text, or its point is not a valid P-256 key.</summary>
        InvalidPublicKey = 1,

        /// <summary>Not a readable private-key text, or its private value is out of range.</summary>
        InvalidPrivateKey = 2,

        /// <summary>Fewer bytes than an ephemeral point and a tag (85).</summary>
        CiphertextTooShort = 3,

        /// <summary>The ciphertext is not for this key, or it was altered.</summary>
        AuthenticationFailed = 4,

        /// <summary>The ciphertext would be longer than the format (4294967295 bytes) or a .NET
        /// array can hold.</summary>
        MessageTooLong = 5,

        /// <summary>Out of memory, or the system's random source failed.</summary>
        InternalFailure = 6,
    }
}
