using System.Runtime.InteropServices;

[assembly: ComVisible(false)]
