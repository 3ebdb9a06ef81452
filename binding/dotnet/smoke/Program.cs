using System;
using System.IO;
using Orvane.Common.CryptographyWrapper;

// Round trips through ECCcryptWrapper as an application would make them; prints one line per
// failed case and a closing count, and exits non-zero when a case failed. Built for .NET
// Framework 4.6.2 and run under Mono, and reused by the package test on .NET, on Mono, and on
// Windows (under Wine).
//
//   Program [LABEL [EXCHANGE_DIR]]
// LABEL names the run in the closing line. With EXCHANGE_DIR, the program also trades
// ciphertexts with another platform: it decrypts EXCHANGE_DIR/to-here.hex with the private key
// in EXCHANGE_DIR/key and expects EXCHANGE_DIR/expected.txt (UTF-8), then encrypts that text for
// EXCHANGE_DIR/pub into EXCHANGE_DIR/from-here.hex, for the other side to decrypt.
internal static class Program
{
    private static readonly bool OnWindows = Environment.OSVersion.Platform == PlatformID.Win32NT;

    private static int Main(string[] args)
    {
        string label = args.Length > 0 ? args[0] : "smoke";
        string runtime = (Type.GetType("Mono.Runtime") != null ? "Mono, CLR " : "CLR ") + Environment.Version;
        int passed = 0, failed = 0;
        Action<string, bool> check = (name, ok) =>
        {
            if (ok) passed++;
            else { failed++; Console.WriteLine("FAILED: " + name); }
        };

        string privateKey = "", publicKey = "";
        ECCcryptWrapper.GenerateEccKeys(64, ref privateKey, ref publicKey);
        check("key texts are 134 and 182 characters", privateKey.Length == 134 && publicKey.Length == 182);

        // The narrow character set is the ANSI code page on Windows, UTF-8 elsewhere: each message
        // comes back whole when that character set holds all of its characters.
        string[] messages = OnWindows
            ? new[] { "Attack at dawn.", "Grüße, café" }
            : new[] { "Attack at dawn.", "Grüße, café, 東京, 🙂" };
        foreach (string message in messages)
        {
            string plain = message, cipher = "";
            uint size = ECCcryptWrapper.Encrypt(ref publicKey, ref plain, ref cipher);
            int narrowBytes = OnWindows ? message.Length : System.Text.Encoding.UTF8.GetByteCount(message);
            check("ciphertext size of \"" + message + "\"", size == narrowBytes + 85 && cipher.Length == 2 * size);
            check("round trip of \"" + message + "\"", ECCcryptWrapper.Decrypt(ref privateKey, ref cipher) == message);
        }

        string otherPrivate = "", otherPublic = "", text = "secret", sealedText = "";
        ECCcryptWrapper.GenerateEccKeys(64, ref otherPrivate, ref otherPublic);
        ECCcryptWrapper.Encrypt(ref publicKey, ref text, ref sealedText);
        check("another key gives \"\"", ECCcryptWrapper.Decrypt(ref otherPrivate, ref sealedText) == "");

        string nothing = null;
        try
        {
            ECCcryptWrapper.Decrypt(ref privateKey, ref nothing);
            check("null argument throws", false);
        }
        catch (ArgumentNullException e)
        {
            check("null argument names the parameter", e.ParamName == "sMsgToDecrytp");
        }

        // Bytes, zero bytes included, and a forged ciphertext reported as such.
        EccKeyPair pair = EccEncryption.GenerateKeyPair();
        byte[] data = { 1, 0, 2, 0 };
        byte[] sealedData = EccEncryption.Encrypt(pair.PublicKey, data);
        check("bytes round trip", sealedData.Length == data.Length + 85
              && Convert.ToBase64String(EccEncryption.Decrypt(pair.PrivateKey, sealedData)) == Convert.ToBase64String(data));
        sealedData[70] ^= 1;
        try
        {
            EccEncryption.Decrypt(pair.PrivateKey, sealedData);
            check("an altered ciphertext throws", false);
        }
        catch (EccException e)
        {
            check("an altered ciphertext fails authentication", e.Status == EccStatus.AuthenticationFailed);
        }

        if (args.Length > 1)
        {
            Exchange(args[1], check);
        }

#if NET
        runtime += ", " + System.Runtime.InteropServices.RuntimeInformation.ProcessArchitecture;
#endif
        Console.WriteLine("round trips through ECCcryptWrapper on " + runtime + ", " + Environment.OSVersion);
        Console.WriteLine(label + ": " + passed + " passed, " + failed + " failed");
        return failed == 0 ? 0 : 1;
    }

    private static void Exchange(string dir, Action<string, bool> check)
    {
        string key = File.ReadAllText(Path.Combine(dir, "key")).Trim();
        string pub = File.ReadAllText(Path.Combine(dir, "pub")).Trim();
        string expected = File.ReadAllText(Path.Combine(dir, "expected.txt"), System.Text.Encoding.UTF8);
        string incoming = File.ReadAllText(Path.Combine(dir, "to-here.hex")).Trim();
        check("the other platform's ciphertext decrypts to \"" + expected + "\"",
              ECCcryptWrapper.Decrypt(ref key, ref incoming) == expected);
        string outgoing = "";
        check("a ciphertext for the other platform", ECCcryptWrapper.Encrypt(ref pub, ref expected, ref outgoing) != 0);
        File.WriteAllText(Path.Combine(dir, "from-here.hex"), outgoing);
    }
}
