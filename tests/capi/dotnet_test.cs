// The .NET binding under Mono against the Linux library: key strokes and serial chunks through a decoder, the
// tuner fed from a decoder's frames, UTF-8 both ways, null and hostile arguments, many handles.
using System;
using System.Text;
using System.Text.RegularExpressions;
using Dorvik;

static class DotnetTest
{
    static int failures;

    static void Check(bool ok, string what, string got)
    {
        if (!ok) Console.Error.WriteLine("FAILED: " + what + (got == null ? "" : "\n  got: " + got));
        failures += ok ? 0 : 1;
    }

    static void Has(string text, string part, string what) { Check(text != null && text.Contains(part), what, text); }

    // Types the text key by key as a keyboard scanner would, each stroke from dvk_key_for_char.
    static ulong Type(DecoderHandle d, string text, ulong t, string device)
    {
        foreach (byte c in Encoding.UTF8.GetBytes(text))
        {
            Match key = Regex.Match(Dvk.KeyForChar(c), "\"scancode\":(\\d+),\"shift\":(\\w+),\"ctrl\":(\\w+)");
            d.FeedKey(ushort.Parse(key.Groups[1].Value), key.Groups[2].Value == "true" ? 1 : 0,
                key.Groups[3].Value == "true" ? 1 : 0, 0, 0, t += 8, device);
        }
        return t;
    }

    static void DecoderLoop()
    {
        using (DecoderHandle d = new DecoderHandle())
        {
            d.Bind("usb-1");
            ulong t = Type(d, "0104607097291111\u001d3103000123\r", 1000, "usb-1");
            Has(d.Poll(), "\"data\":\"0104607097291111\\u001d3103000123\",\"kind\":", "typed GS1 code with GS");
            d.FeedBytes(Encoding.ASCII.GetBytes("46000"), "usb-1", t + 500);
            d.FeedBytes(Encoding.ASCII.GetBytes("00000008\r"), "usb-1", t + 510);
            Has(d.Poll(), "\"data\":\"4600000000008\",\"kind\":2", "serial chunks make one scan");
            d.FeedBytes(new byte[] { 0x41, 0, 0x42, 0x0D }, "usb-1", t + 900);
            Has(d.Poll(), "\"frame\":\"A\\u0000B\\r\"", "a NUL byte goes in with its length");
        }
    }

    static void TunerThroughDecoder()
    {
        DecoderHandle d = new DecoderHandle();
        TunerHandle tuner = new TunerHandle("hid", null);
        Check(d.SetProfile("{\"burstGapMs\": 250, \"frameTimeoutMs\": 500, \"terminator\": \"\\u0000\"}"),
            "time-based profile", null);
        ulong t = 10000;
        string state = tuner.State();
        for (int step = 0; step < 5 && !state.Contains("\"done\":true"); ++step)
        {
            string payload = Regex.Unescape(Regex.Match(state, "\"payload\":\"((?:[^\"\\\\]|\\\\.)*)\"").Groups[1].Value);
            t = Type(d, payload + "\r", t, "usb-2");
            d.Tick(t += 1000);
            Match frame = Regex.Match(d.Poll(), "\"frame\":\"((?:[^\"\\\\]|\\\\.)*)\",\"deviceId\":\"usb-2\",\"tMs\":(\\d+),\"gapsMs\":(\\[[0-9,]*\\])");
            Check(tuner.Feed(Regex.Unescape(frame.Groups[1].Value), "usb-2", ulong.Parse(frame.Groups[2].Value),
                frame.Groups[3].Value), "step " + step + " taken", frame.Value);
            state = tuner.State();
        }
        Has(state, "\"done\":true", "the tuner finishes");
        Has(state, "\"summary\":\"Все проверки пройдены: 5 из 5 кодов", "Russian text comes out as UTF-8");
        string profile = state.Substring(state.IndexOf("\"profile\":") + 10);
        Check(d.SetProfile(profile.Substring(0, profile.Length - 1)), "its profile steers a decoder", profile);
        tuner.Dispose();
        d.Dispose();
        try { d.Poll(); Check(false, "a disposed decoder is refused", null); } catch (ObjectDisposedException) { }
    }

    static void StatelessAndHostile(string version)
    {
        Check(Dvk.Version() == version, "version " + version, Dvk.Version());
        Has(Dvk.DecodeFrame(null, "2012345012349", null), "\"kindTitle\":\"весовой ШК\"", "UTF-8 out");
        Has(Dvk.DecodeFrame("not json", (byte[])null, null), "\"raw\":\"\"", "null frame, bad profile");
        Has(Dvk.BarcodeSvg("ean13", "4600000000008", 0, 2, 10), "<svg xmlns=", "EAN-13 SVG");
        Has(Dvk.BarcodeSvg(null, "Молоко 3,2%", 0, 0, -1), "<path", "UTF-8 in, DataMatrix for a null kind");
        Check(Dvk.BarcodeSvg(null, (byte[])null, 0, 0, 0) == null, "nothing to draw", null);
        Check(Dvk.BarcodeSvg("code128", new byte[] { 0x41, 0, 0x42 }, 0, 1, 1) == null, "NUL in Code 128", null);
        using (DecoderHandle d = new DecoderHandle())
        using (TunerHandle tuner = new TunerHandle(null, null))
        {
            Check(!d.SetProfile(null) && !d.SetProfile("{\"minLength\": ") && d.SetProfile("{}"), "profiles", null);
            d.Bind(null);
            d.FeedBytes(null, null, 0);
            d.FeedKey(0xFFFF, 7, -1, int.MinValue, 1, ulong.MaxValue, null);
            d.Tick(ulong.MaxValue);
            Check(d.Poll() != null && tuner.State() != null, "hostile arguments are taken", null);
            Check(!tuner.Feed((byte[])null, null, 0, null), "a frame from no device is ignored", null);
            tuner.Feed("x", "usb", 0, "[-1,1e999,x]");
            Has(tuner.State(), "\"step\":", "junk gaps are taken");
        }
    }

    static int Main(string[] args)
    {
        DecoderLoop();
        TunerThroughDecoder();
        StatelessAndHostile(args[0]);
        for (int i = 0; i < 1000; ++i) // many handles, each released
            using (DecoderHandle d = new DecoderHandle())
            using (TunerHandle tuner = new TunerHandle("serial", "COM3"))
            {
                d.FeedBytes(Encoding.ASCII.GetBytes("4600000000008\r"), "COM3", (ulong)i);
                Check(tuner.Feed("4600000000008\r", "COM3", (ulong)i, "") && d.Poll().Contains("EAN-13"), "cycle", null);
            }
        Console.WriteLine(failures == 0 ? "the .NET binding behaves" : "FAILURES");
        return failures == 0 ? 0 : 1;
    }
}
