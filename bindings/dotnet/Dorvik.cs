// dorvik_c for .NET (Framework 4.x and later, .NET Core, Mono): one file to add to the till's project.
//
// The library is loaded by the name "dorvik_c": dorvik_c.dll beside the .exe on Windows, of the process's
// word size (the win64 package's for an x64 process, the win32 package's for an x86 one, which AnyCPU with
// "prefer 32-bit" is), libdorvik_c.so on the library path under Mono or .NET on Linux. Every export is
// cdecl: each import says so, as P/Invoke would otherwise take stdcall on x86.
//
// Texts go in as NUL-terminated UTF-8 copies; byte inputs that may hold any byte go in with their length.
// Every text the library returns is copied into a string and released with dvk_free at once, so no native
// memory outlives a call. Calls on one DecoderHandle or TunerHandle must not overlap (lock around them when the input
// arrives on several threads); the static methods may run anywhere.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Dorvik
{
    internal static class Native
    {
        private const string Lib = "dorvik_c";

        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr dvk_decoder_new();
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void dvk_decoder_free(IntPtr h);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int dvk_decoder_set_profile(DecoderHandle h, byte[] json);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr dvk_decoder_profile(DecoderHandle h);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void dvk_decoder_bind(DecoderHandle h, byte[] deviceId);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void dvk_decoder_feed_key(DecoderHandle h, ushort scanCode, ushort auxCode, int auxFlag1,
            int shift, int ctrl, int alt, int capsLock, int auxFlag2, ulong tMs, byte[] deviceId);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void dvk_decoder_feed_bytes(DecoderHandle h, byte[] bytes, int len, byte[] deviceId,
            ulong tMs);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void dvk_decoder_tick(DecoderHandle h, ulong nowMs);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr dvk_decoder_poll(DecoderHandle h);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void dvk_decoder_reset(DecoderHandle h);

        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr dvk_decode_frame(byte[] profileJson, byte[] text, int len, byte[] deviceId);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr dvk_key_for_char(byte c);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr dvk_version();
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void dvk_free(IntPtr p);

        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr dvk_tuner_new(byte[] transport, byte[] deviceId);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void dvk_tuner_free(IntPtr t);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr dvk_tuner_state(TunerHandle t);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void dvk_tuner_skip(TunerHandle t);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int dvk_tuner_feed(TunerHandle t, byte[] text, int len, byte[] deviceId, ulong tMs,
            byte[] gapsMs);

        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr dvk_barcode_svg(byte[] kind, byte[] data, int dataLen, int gs1, int scale,
            int quiet);

        // A NUL-terminated UTF-8 copy; null stays null (the library reads it as the empty text).
        internal static byte[] Z(string text)
        {
            if (text == null) return null;
            byte[] bytes = new byte[Encoding.UTF8.GetByteCount(text) + 1];
            Encoding.UTF8.GetBytes(text, 0, text.Length, bytes, 0);
            return bytes;
        }

        internal static byte[] Utf8(string text)
        {
            return text == null ? null : Encoding.UTF8.GetBytes(text);
        }

        // Marshal.PtrToStringUTF8 is missing from .NET Framework 4.x: find the NUL and decode by hand.
        internal static string Read(IntPtr p)
        {
            if (p == IntPtr.Zero) return null;
            int length = 0;
            while (Marshal.ReadByte(p, length) != 0) ++length;
            byte[] bytes = new byte[length];
            Marshal.Copy(p, bytes, 0, length);
            return Encoding.UTF8.GetString(bytes);
        }

        internal static string Take(IntPtr p)
        {
            try
            {
                return Read(p);
            }
            finally
            {
                dvk_free(p); // null is allowed
            }
        }
    }

    // Key strokes and serial chunks in, {"scans":[...],"frames":[...]} out. Dispose it, or let the
    // finalizer free it.
    public sealed class DecoderHandle : SafeHandle
    {
        public DecoderHandle() : base(IntPtr.Zero, true)
        {
            SetHandle(Native.dvk_decoder_new());
            if (IsInvalid) throw new OutOfMemoryException("dvk_decoder_new");
        }

        public override bool IsInvalid { get { return handle == IntPtr.Zero; } }

        protected override bool ReleaseHandle()
        {
            Native.dvk_decoder_free(handle);
            return true;
        }

        // False when the text is not a profile; the previous profile stays.
        public bool SetProfile(string json) { return Native.dvk_decoder_set_profile(this, Native.Z(json)) != 0; }
        public string Profile() { return Native.Take(Native.dvk_decoder_profile(this)); }
        public void Bind(string deviceId) { Native.dvk_decoder_bind(this, Native.Z(deviceId)); }

        // Flags are non-zero for true, as in C.
        public void FeedKey(ushort scanCode, int shift, int ctrl, int alt, int capsLock, ulong tMs, string deviceId)
        {
            Native.dvk_decoder_feed_key(this, scanCode, 0, 0, shift, ctrl, alt, capsLock, 0, tMs, Native.Z(deviceId));
        }

        // Any bytes, NUL included: the whole array is passed with its length.
        public void FeedBytes(byte[] bytes, string deviceId, ulong tMs)
        {
            Native.dvk_decoder_feed_bytes(this, bytes, bytes == null ? 0 : bytes.Length, Native.Z(deviceId), tMs);
        }

        public void Tick(ulong nowMs) { Native.dvk_decoder_tick(this, nowMs); }
        public string Poll() { return Native.Take(Native.dvk_decoder_poll(this)); }
        public void Reset() { Native.dvk_decoder_reset(this); }
    }

    // The scanner set-up wizard: feed it the "frames" its decoder reports, read its state after each.
    public sealed class TunerHandle : SafeHandle
    {
        public TunerHandle(string transport, string deviceId) : base(IntPtr.Zero, true)
        {
            SetHandle(Native.dvk_tuner_new(Native.Z(transport), Native.Z(deviceId)));
            if (IsInvalid) throw new OutOfMemoryException("dvk_tuner_new");
        }

        public override bool IsInvalid { get { return handle == IntPtr.Zero; } }

        protected override bool ReleaseHandle()
        {
            Native.dvk_tuner_free(handle);
            return true;
        }

        public string State() { return Native.Take(Native.dvk_tuner_state(this)); }
        public void Skip() { Native.dvk_tuner_skip(this); }

        // True when the frame was taken as the scan of the current step.
        public bool Feed(byte[] frame, string deviceId, ulong tMs, string gapsMs)
        {
            return Native.dvk_tuner_feed(this, frame, frame == null ? 0 : frame.Length, Native.Z(deviceId), tMs,
                       Native.Z(gapsMs)) != 0;
        }

        public bool Feed(string frame, string deviceId, ulong tMs, string gapsMs)
        {
            return Feed(Native.Utf8(frame), deviceId, tMs, gapsMs);
        }
    }

    public static class Dvk
    {
        // The scan event JSON of one frame; a null or invalid profile means the defaults.
        public static string DecodeFrame(string profileJson, byte[] frame, string deviceId)
        {
            return Native.Take(Native.dvk_decode_frame(Native.Z(profileJson), frame, frame == null ? 0 : frame.Length,
                Native.Z(deviceId)));
        }

        public static string DecodeFrame(string profileJson, string frame, string deviceId)
        {
            return DecodeFrame(profileJson, Native.Utf8(frame), deviceId);
        }

        // {"ok":...,"scancode":...,"shift":...,"ctrl":...}: the key stroke that types this byte.
        public static string KeyForChar(byte c) { return Native.Take(Native.dvk_key_for_char(c)); }

        // A constant of the library: read, never freed.
        public static string Version() { return Native.Read(Native.dvk_version()); }

        // kind "ean13", "code128", anything else a DataMatrix; null when the payload cannot be encoded.
        public static string BarcodeSvg(string kind, byte[] data, int gs1, int scale, int quiet)
        {
            return Native.Take(Native.dvk_barcode_svg(Native.Z(kind), data, data == null ? 0 : data.Length, gs1, scale,
                quiet));
        }

        public static string BarcodeSvg(string kind, string data, int gs1, int scale, int quiet)
        {
            return BarcodeSvg(kind, Native.Utf8(data), gs1, scale, quiet);
        }
    }
}
