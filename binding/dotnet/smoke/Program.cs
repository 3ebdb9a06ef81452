using System;
using Orvane.Common.CryptographyWrapper;

// Round trips through ECCcryptWrapper as an application would make them; prints one line per
// failed case and a closing count, and exits non-zero when a case failed. Built for .NET
// Framework 4.6.2 and run under Mono, and reused by the package test.
internal static class Program
{
    // args[0], when given, names the run in the closing line.
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

        foreach (string message in new[] { "Attack at dawn.", "Grüße, café, 東京, 🙂" })
        {
            string plain = message, cipher = "";
            uint size = ECCcryptWrapper.Encrypt(ref publicKey, ref plain, ref cipher);
            int utf8Bytes = System.Text.Encoding.UTF8.GetByteCount(message);
            check("ciphertext size of \"" + message + "\"", size == utf8Bytes + 85 && cipher.Length == 2 * size);
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

        Console.WriteLine("round trips through ECCcryptWrapper on " + runtime);
        Console.WriteLine(label + ": " + passed + " passed, " + failed + " failed");
        return failed == 0 ? 0 : 1;
    }
}
