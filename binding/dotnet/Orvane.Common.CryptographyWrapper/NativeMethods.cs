using System;
using System.Runtime.InteropServices;
#if NET
using System.IO;
using System.Reflection;
#endif

namespace Orvane.Common.CryptographyWrapper
{
    /// <summary>A native byte string owned by libeccencryption, released exactly once.</summary>
    internal sealed class NativeString : SafeHandle
    {
        private NativeString() : base(IntPtr.Zero, ownsHandle: true) { }

        public override bool IsInvalid => handle == IntPtr.Zero;

        protected override bool ReleaseHandle()
        {
            NativeMethods.eccencryption_string_free(handle);
            return true;
        }

        /// <summary>The bytes of the string, which may contain zero bytes.</summary>
        public unsafe byte* Bytes(out ulong size)
        {
            size = NativeMethods.eccencryption_string_size(this);
            return (byte*)NativeMethods.eccencryption_string_c_str(this);
        }
    }

    /// <summary>The C interface of libeccencryption.</summary>
    internal static class NativeMethods
    {
        private const string Library = "eccencryption";

#if NET
        // Finds the native library under runtimes/<rid>/native beside this assembly or the
        // application (the build output's layout, and a package's when nothing flattened it), so
        // callers need not set PATH or LD_LIBRARY_PATH. Otherwise the runtime's usual search
        // applies: an application restored from the package finds it through its deps.json, a
        // self-contained one beside itself.
        static NativeMethods()
        {
            NativeLibrary.SetDllImportResolver(typeof(NativeMethods).Assembly, Resolve);
        }

        private static IntPtr Resolve(string name, Assembly assembly, DllImportSearchPath? searchPath)
        {
            if (name != Library) return IntPtr.Zero;
            string relative = Path.Combine("runtimes", RuntimeIdentifier(), "native", FileName());
            foreach (string folder in new[] { Path.GetDirectoryName(assembly.Location), AppContext.BaseDirectory })
            {
                if (string.IsNullOrEmpty(folder)) continue;
                string candidate = Path.Combine(folder, relative);
                if (File.Exists(candidate) && NativeLibrary.TryLoad(candidate, out IntPtr library))
                {
                    return library;
                }
            }
            return IntPtr.Zero;
        }

        // The package's name for this process's platform: win-x64, linux-x64, linux-arm64, ...
        private static string RuntimeIdentifier()
        {
            string os = OperatingSystem.IsWindows() ? "win" : OperatingSystem.IsMacOS() ? "osx" : "linux";
            return os + "-" + RuntimeInformation.ProcessArchitecture.ToString().ToLowerInvariant();
        }

        private static string FileName()
        {
            if (OperatingSystem.IsWindows()) return Library + ".dll";
            return "lib" + Library + (OperatingSystem.IsMacOS() ? ".dylib" : ".so");
        }
#endif

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern NativeString eccencryption_string_new(IntPtr text);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr eccencryption_string_c_str(NativeString s);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern ulong eccencryption_string_size(NativeString s);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void eccencryption_string_free(IntPtr s);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void eccencryption_generate_keys(uint keySize, NativeString privateKey, NativeString publicKey);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern uint eccencryption_encrypt(NativeString publicKey, NativeString message, NativeString ciphertext);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern NativeString eccencryption_decrypt(NativeString privateKey, NativeString ciphertextText);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr eccencryption_status_text(int status);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int eccencryption_generate_key_pair(out NativeString privateKey, out NativeString publicKey);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern unsafe int eccencryption_encrypt_bytes(byte* publicKey, ulong publicKeySize, byte* message, ulong messageSize, out NativeString ciphertext);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern unsafe int eccencryption_decrypt_bytes(byte* privateKey, ulong privateKeySize, byte* ciphertext, ulong ciphertextSize, out NativeString message);
    }
}
