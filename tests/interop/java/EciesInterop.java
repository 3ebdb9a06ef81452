// Encrypts and decrypts with Bouncy Castle in the tool's ciphertext format, for the interop
// test. Operations come one a line on standard input:
//   encrypt ies|jce PUBLIC_KEY_FILE IN OUT
//   decrypt ies|jce PRIVATE_KEY_FILE IN OUT
// Key files hold key text (hex of the DER SubjectPublicKeyInfo or PKCS #8 PrivateKeyInfo); IN
// and OUT are raw bytes. "ies" is the lightweight IESEngine, "jce" the provider's "ECIES"
// cipher. One line is printed per operation: "ok", or "error: " and the reason.
import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.PrivateKey;
import java.security.PublicKey;
import java.security.SecureRandom;
import javax.crypto.Cipher;
import org.bouncycastle.asn1.pkcs.PrivateKeyInfo;
import org.bouncycastle.asn1.x509.SubjectPublicKeyInfo;
import org.bouncycastle.crypto.agreement.ECDHBasicAgreement;
import org.bouncycastle.crypto.digests.SHA1Digest;
import org.bouncycastle.crypto.engines.IESEngine;
import org.bouncycastle.crypto.generators.ECKeyPairGenerator;
import org.bouncycastle.crypto.generators.EphemeralKeyPairGenerator;
import org.bouncycastle.crypto.generators.KDF2BytesGenerator;
import org.bouncycastle.crypto.macs.HMac;
import org.bouncycastle.crypto.params.AsymmetricKeyParameter;
import org.bouncycastle.crypto.params.ECKeyGenerationParameters;
import org.bouncycastle.crypto.params.ECPrivateKeyParameters;
import org.bouncycastle.crypto.params.ECPublicKeyParameters;
import org.bouncycastle.crypto.params.IESParameters;
import org.bouncycastle.crypto.parsers.ECIESPublicKeyParser;
import org.bouncycastle.crypto.util.PrivateKeyFactory;
import org.bouncycastle.crypto.util.PublicKeyFactory;
import org.bouncycastle.jce.provider.BouncyCastleProvider;
import org.bouncycastle.util.encoders.Hex;

public final class EciesInterop {
    private static final SecureRandom RANDOM = new SecureRandom();
    private static final BouncyCastleProvider PROVIDER = new BouncyCastleProvider();

    // The profile: no derivation or encoding parameters, a 128-bit MAC key.
    private static IESParameters profile() {
        return new IESParameters(new byte[0], new byte[0], 128);
    }

    private static IESEngine engine() {
        return new IESEngine(new ECDHBasicAgreement(), new KDF2BytesGenerator(new SHA1Digest()),
                new HMac(new SHA1Digest()));
    }

    private static byte[] keyBytes(String file) throws Exception {
        String text = new String(Files.readAllBytes(Path.of(file)), StandardCharsets.US_ASCII);
        return Hex.decode(text.trim());
    }

    static byte[] encryptIes(byte[] spki, byte[] message) throws Exception {
        ECPublicKeyParameters key = (ECPublicKeyParameters) PublicKeyFactory.createKey(spki);
        ECKeyPairGenerator generator = new ECKeyPairGenerator();
        generator.init(new ECKeyGenerationParameters(key.getParameters(), RANDOM));
        // The ephemeral point goes out uncompressed, 04 || x || y.
        EphemeralKeyPairGenerator ephemeral = new EphemeralKeyPairGenerator(generator,
                k -> ((ECPublicKeyParameters) k).getQ().getEncoded(false));
        IESEngine engine = engine();
        engine.init(key, profile(), ephemeral);
        return engine.processBlock(message, 0, message.length);
    }

    static byte[] decryptIes(byte[] pkcs8, byte[] ciphertext) throws Exception {
        ECPrivateKeyParameters key = (ECPrivateKeyParameters) PrivateKeyFactory.createKey(pkcs8);
        IESEngine engine = engine();
        engine.init(key, profile(), new ECIESPublicKeyParser(key.getParameters()));
        return engine.processBlock(ciphertext, 0, ciphertext.length);
    }

    // The JCE path: the provider turns the key texts' DER into JCE keys, and its "ECIES" cipher
    // without parameters is this profile (no derivation or encoding parameters, a 128-bit MAC
    // key).
    static byte[] encryptJce(byte[] spki, byte[] message) throws Exception {
        PublicKey key = BouncyCastleProvider.getPublicKey(SubjectPublicKeyInfo.getInstance(spki));
        Cipher cipher = Cipher.getInstance("ECIES", PROVIDER);
        cipher.init(Cipher.ENCRYPT_MODE, key, RANDOM);
        return cipher.doFinal(message);
    }

    static byte[] decryptJce(byte[] pkcs8, byte[] ciphertext) throws Exception {
        PrivateKey key = BouncyCastleProvider.getPrivateKey(PrivateKeyInfo.getInstance(pkcs8));
        Cipher cipher = Cipher.getInstance("ECIES", PROVIDER);
        cipher.init(Cipher.DECRYPT_MODE, key);
        return cipher.doFinal(ciphertext);
    }

    private static void run(String[] op) throws Exception {
        if (op.length != 5) throw new IllegalArgumentException("expected 5 fields");
        boolean ies = op[1].equals("ies");
        if (!ies && !op[1].equals("jce")) throw new IllegalArgumentException("engine " + op[1]);
        byte[] key = keyBytes(op[2]);
        byte[] in = Files.readAllBytes(Path.of(op[3]));
        byte[] out;
        switch (op[0]) {
            case "encrypt":
                out = ies ? encryptIes(key, in) : encryptJce(key, in);
                break;
            case "decrypt":
                out = ies ? decryptIes(key, in) : decryptJce(key, in);
                break;
            default:
                throw new IllegalArgumentException("operation " + op[0]);
        }
        Files.write(Path.of(op[4]), out);
    }

    public static void main(String[] args) throws Exception {
        BufferedReader lines =
                new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
        for (String line; (line = lines.readLine()) != null;) {
            if (line.isBlank()) continue;
            try {
                run(line.trim().split("\\s+"));
                System.out.println("ok");
            } catch (Exception e) {
                System.out.println("error: " + e.getClass().getSimpleName() + ": " + e.getMessage());
            }
        }
    }
}
