using System;
using System.IO;
using System.Linq;
using System.Security.Cryptography;
using BenchmarkDotNet.Attributes;
using BenchmarkDotNet.Configs;
using BenchmarkDotNet.Running;
using Org.BouncyCastle.Crypto.Parameters;
using Orvane.Common.CryptographyWrapper;
using Orvane.Common.CryptographyWrapper.Recipes;

namespace Orvane.Common.CryptographyWrapper.Bench
{
    public static class Program
    {
        // The benchmarks run in this process (--inProcess): a separately built benchmark process
        // would not know where the native library is. Reports go beside the program unless
        // --artifacts says otherwise, so that no run leaves files in the working folder.
        public static int Main(string[] args)
        {
            string[] arguments = args.Contains("--inProcess") ? args : args.Append("--inProcess").ToArray();
            if (!arguments.Contains("--artifacts"))
            {
                arguments = arguments.Concat(new[] { "--artifacts", Path.Combine(AppContext.BaseDirectory, "BenchmarkDotNet.Artifacts") }).ToArray();
            }
            var summaries = BenchmarkSwitcher.FromAssembly(typeof(Program).Assembly).Run(arguments);
            // No summary means that nothing ran (a bad argument, a filter that matched nothing).
            bool failed = !summaries.Any() || summaries.Any(s => s.HasCriticalValidationErrors || s.Reports.Length == 0 || s.Reports.Any(r => !r.Success));
            return failed ? 1 : 0;
        }
    }

    /// <summary>
    /// The same work three ways: ECCcryptWrapper (text in, hex ciphertext text out), EccEncryption
    /// (bytes), and Bouncy Castle C# composing the same ciphertext format from its primitives.
    /// Ours read the key text on every call; Bouncy Castle uses key objects parsed once, as its
    /// callers do. Bouncy Castle is each group's baseline.
    /// </summary>
    [MemoryDiagnoser]
    [GroupBenchmarksBy(BenchmarkLogicalGroupRule.ByCategory)]
    [CategoriesColumn]
    public class OneKibibyte
    {
        private const int Size = 1024;

        private string _privateKey, _publicKey;
        private string _text, _ciphertextText;
        private byte[] _message, _ciphertext, _bcCiphertext;
        private ECPublicKeyParameters _bcPublic;
        private ECPrivateKeyParameters _bcPrivate;

        [GlobalSetup]
        public void Setup()
        {
            EccKeyPair keys = EccEncryption.GenerateKeyPair();
            _privateKey = keys.PrivateKey;
            _publicKey = keys.PublicKey;
            _text = new string('x', Size);
            _message = RandomNumberGenerator.GetBytes(Size);
            string ciphertextText = "";
            if (ECCcryptWrapper.Encrypt(ref _publicKey, ref _text, ref ciphertextText) == 0)
            {
                throw new InvalidOperationException("setup: ECCcryptWrapper.Encrypt failed");
            }
            _ciphertextText = ciphertextText;
            _ciphertext = EccEncryption.Encrypt(_publicKey, _message);
            _bcPublic = BouncyCastleEcies.PublicKey(_publicKey);
            _bcPrivate = BouncyCastleEcies.PrivateKey(_privateKey);
            _bcCiphertext = BouncyCastleEcies.Encrypt(_bcPublic, _message);
        }

        [Benchmark, BenchmarkCategory("KeyGen")]
        public string WrapperGenerateEccKeys()
        {
            string privateKey = "", publicKey = "";
            ECCcryptWrapper.GenerateEccKeys(64, ref privateKey, ref publicKey);
            return publicKey;
        }

        [Benchmark, BenchmarkCategory("KeyGen")]
        public EccKeyPair BytesGenerateKeyPair() => EccEncryption.GenerateKeyPair();

        [Benchmark(Baseline = true), BenchmarkCategory("KeyGen")]
        public object BouncyCastleGenerateKeyPair() => BouncyCastleEcies.GenerateKeyPair();

        [Benchmark, BenchmarkCategory("Encrypt")]
        public string WrapperEncrypt()
        {
            string ciphertext = "";
            ECCcryptWrapper.Encrypt(ref _publicKey, ref _text, ref ciphertext);
            return ciphertext;
        }

        [Benchmark, BenchmarkCategory("Encrypt")]
        public byte[] BytesEncrypt() => EccEncryption.Encrypt(_publicKey, _message);

        [Benchmark(Baseline = true), BenchmarkCategory("Encrypt")]
        public byte[] BouncyCastleEncrypt() => BouncyCastleEcies.Encrypt(_bcPublic, _message);

        [Benchmark, BenchmarkCategory("Decrypt")]
        public string WrapperDecrypt() => ECCcryptWrapper.Decrypt(ref _privateKey, ref _ciphertextText);

        [Benchmark, BenchmarkCategory("Decrypt")]
        public byte[] BytesDecrypt() => EccEncryption.Decrypt(_privateKey, _ciphertext);

        [Benchmark(Baseline = true), BenchmarkCategory("Decrypt")]
        public byte[] BouncyCastleDecrypt() => BouncyCastleEcies.Decrypt(_bcPrivate, _bcCiphertext);
    }
}
