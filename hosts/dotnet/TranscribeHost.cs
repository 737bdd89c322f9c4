// Runs transcribe-worker on one media file and hands over its records (C# 7.2 and later, one file,
// nothing beyond mscorlib and System.dll: .NET Framework 4.7.2+, .NET Core and .NET 5+, Mono).
//
//   using Transcription;
//
//   var options = new TranscribeOptions { Media = @"D:\talks\talk.mp4", Model = @"C:\models\parakeet",
//                                         Ffmpeg = @"C:\ffmpeg\bin\ffmpeg.exe" };
//   using (var run = Transcriber.Start(options, token))   // leaving the block cancels the run
//   {
//       foreach (var record in run)                         // leaving the loop early too
//           if (record is Words words)
//               Show(run.Progress, words.Items);           // Word: Text, Start, End (seconds)
//   }                                                       // a failure: WorkerException
//
// The worker is always started with --exit-on-stdin-close and its standard input kept open: a
// cancel closes it, and so does the end of the host process, however it ends, so no worker and no
// ffmpeg outlive the host. The worker, not this host, ends its decoder: Process.Kill() would end
// the worker alone and leave ffmpeg running. Standard output and standard error are read at the
// same time on two threads, as bytes, and decoded as UTF-8 here, whatever the console's encoding.
// One run is enumerated by one thread at a time; Cancel, Dispose and Progress may be called from
// any thread.
//
// What this file relies on where it cannot be tried on Linux (.NET Framework and .NET on Windows,
// from their documentation):
// - Process.Start with UseShellExecute = false calls CreateProcessW with the command line
//   "FileName" Arguments: UTF-16, so paths outside the system's code page arrive whole, and
//   Arguments quoted by WindowsArguments below, the rules the worker's own parser follows.
//   CreateNoWindow gives CREATE_NO_WINDOW: no console window flashes.
// - The framework makes its own ends of the three pipes non-inheritable and starts processes one
//   at a time under a lock, so a worker started on one thread never holds another run's pipes.
//   Inheritable handles that other code of the host made are inherited too (the C host passes a
//   handle list instead). No job object is used: the stop is standard input's close.
// - A process that inherited the worker's output (a helper the system started) may hold the
//   pipe after the worker's exit: the run ends 2 s after the exit whatever the pipe does.

using System;
using System.Collections.Generic;
using System.Collections.ObjectModel;
using System.ComponentModel;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.Text;
using System.Text.RegularExpressions;
using System.Threading;

namespace Transcription
{
    /// <summary>What to transcribe, and with what. Relative paths are made absolute here, against
    /// this process's working directory.</summary>
    public sealed class TranscribeOptions
    {
        public string Media { get; set; }
        /// <summary>The model directory.</summary>
        public string Model { get; set; }
        /// <summary>The ffmpeg executable: a path, or a bare name looked up on PATH.</summary>
        public string Ffmpeg { get; set; }
        /// <summary>transcribe-worker; null: beside this assembly, then on PATH.</summary>
        public string Worker { get; set; }
        /// <summary>Seconds from the beginning of the file (--start, --end).</summary>
        public double? Start { get; set; }
        public double? End { get; set; }
        public int? Batch { get; set; }
        /// <summary>"cpu" or "cuda".</summary>
        public string Provider { get; set; }
    }

    public abstract class Record
    {
        internal Record() { }
    }

    /// <summary>The model has loaded; the decoder starts next.</summary>
    public sealed class Ready : Record { }

    /// <summary>The words of the audio up to End (seconds from the beginning of the file).</summary>
    public sealed class Words : Record
    {
        internal Words(double end, IList<Word> items)
        {
            End = end;
            Items = new ReadOnlyCollection<Word>(items);
        }

        /// <summary>NaN where the worker wrote null (a time that is not finite).</summary>
        public double End { get; }
        public IReadOnlyList<Word> Items { get; }
    }

    public sealed class Word
    {
        internal Word(string text, double start, double end)
        {
            Text = text;
            Start = start;
            End = end;
        }

        public string Text { get; }
        public double Start { get; }
        public double End { get; }
    }

    /// <summary>A failed run. Message is the worker's error text (what follows the first line of
    /// standard error that starts with "error: ", to the end: it can span lines).</summary>
    public sealed class WorkerException : Exception
    {
        internal WorkerException(string message, int? exitCode, string standardError)
            : base(message)
        {
            ExitCode = exitCode;
            StandardError = standardError;
        }

        /// <summary>The exit status (128 + the signal for a signal on Linux); null when it could
        /// not be known, which never counts as success.</summary>
        public int? ExitCode { get; }
        /// <summary>Everything the worker wrote to standard error.</summary>
        public string StandardError { get; }
    }

    public static class Transcriber
    {
        static readonly bool OnWindows = Path.DirectorySeparatorChar == '\\';
        static readonly string WorkerName = OnWindows ? "transcribe-worker.exe" : "transcribe-worker";

        /// <summary>Starts the worker. A Win32Exception when it cannot be started,
        /// FileNotFoundException when it is not found.</summary>
        public static TranscribeRun Start(TranscribeOptions options)
        {
            return Start(options, CancellationToken.None);
        }

        /// <summary>Starts the worker; the token cancels the run as Cancel() does.</summary>
        public static TranscribeRun Start(TranscribeOptions options, CancellationToken token)
        {
            if (options == null) throw new ArgumentNullException(nameof(options));
            string media = Absolute(options.Media, nameof(options.Media));
            string model = Absolute(options.Model, nameof(options.Model));
            if (string.IsNullOrEmpty(options.Ffmpeg)) throw new ArgumentException("Ffmpeg is required");
            // A bare name is looked up here: the Windows worker searches no PATH, and what the
            // worker and the duration probe start is the same file.
            string ffmpeg = IsBareName(options.Ffmpeg) ? OnPath(options.Ffmpeg) ?? NotOnPath(options.Ffmpeg)
                                                       : Path.GetFullPath(options.Ffmpeg);
            var args = new List<string> { "--model", model, "--ffmpeg", ffmpeg };
            if (options.Start.HasValue) args.AddRange(new[] { "--start", Number(options.Start.Value) });
            if (options.End.HasValue) args.AddRange(new[] { "--end", Number(options.End.Value) });
            if (options.Batch.HasValue)
                args.AddRange(new[] { "--batch", options.Batch.Value.ToString(CultureInfo.InvariantCulture) });
            if (options.Provider != null) args.AddRange(new[] { "--provider", options.Provider });
            args.Add("--exit-on-stdin-close");
            args.Add(media);

            double first = Math.Max(0.0, options.Start ?? 0.0);
            var run = new TranscribeRun(Launch(FindWorker(options.Worker), args), ffmpeg, media, first, options.End);
            run.Register(token);
            return run;
        }

        static string Absolute(string path, string name)
        {
            if (string.IsNullOrEmpty(path)) throw new ArgumentException(name + " is required");
            return Path.GetFullPath(path);
        }

        static bool IsBareName(string path)
        {
            return path.IndexOf('/') < 0 && (!OnWindows || path.IndexOfAny(new[] { '\\', ':' }) < 0);
        }

        /// <summary>A bare program name as found in PATH's absolute folders, with ".exe" added on
        /// Windows when it has no extension; on POSIX only an executable file counts, as in a
        /// shell. Never the current folder: Process.Start looks in it first (Windows, Mono), and
        /// an empty or relative PATH entry (a stray ":" at the end) would name it too.</summary>
        static string OnPath(string name)
        {
            string file = OnWindows && !Path.HasExtension(name) ? name + ".exe" : name;
            foreach (string entry in (Environment.GetEnvironmentVariable("PATH") ?? "").Split(Path.PathSeparator))
            {
                string folder = entry.Trim().Trim('"');
                if (!IsAbsolute(folder)) continue;
                try
                {
                    string path = Path.Combine(folder, file);
                    if (File.Exists(path) && (OnWindows || access(path, ExecuteAccess) == 0)) return Path.GetFullPath(path);
                }
                catch (ArgumentException) { } // a folder name that is no path
            }
            return null;
        }

        // Windows: "C:\..." or "\\server\..." ("\x" and "C:x" lean on the current folder).
        static bool IsAbsolute(string folder)
        {
            if (!OnWindows) return folder.StartsWith("/", StringComparison.Ordinal);
            return (IsSeparator(folder, 0) && IsSeparator(folder, 1)) ||
                   (folder.Length > 2 && folder[1] == ':' && IsSeparator(folder, 2));
        }

        static bool IsSeparator(string path, int at)
        {
            return path.Length > at && (path[at] == '\\' || path[at] == '/');
        }

        const int ExecuteAccess = 1; // X_OK

        [System.Runtime.InteropServices.DllImport("libc", SetLastError = true)]
        static extern int access(string path, int mode); // POSIX only

        static string FindWorker(string given)
        {
            if (given != null)
            {
                string path = IsBareName(given) ? OnPath(given) : Path.GetFullPath(given);
                return path != null && File.Exists(path) ? path : NotFound(given);
            }
            string assembly = typeof(Transcriber).Assembly.Location; // "" in a single-file bundle
            string folder = assembly.Length > 0 ? Path.GetDirectoryName(assembly) : AppDomain.CurrentDomain.BaseDirectory;
            string beside = Path.Combine(folder, WorkerName);
            return File.Exists(beside) ? beside : OnPath(WorkerName) ?? NotFound(WorkerName);
        }

        static string NotFound(string name)
        {
            string where = IsBareName(name) ? " is neither beside " + typeof(Transcriber).Assembly.GetName().Name +
                                              " nor on PATH" : " does not exist";
            throw new FileNotFoundException(name + where, name);
        }

        static string NotOnPath(string name)
        {
            throw new FileNotFoundException(name + " is not on PATH (a bare name is looked for there only)", name);
        }

        // "12.5", "1E-05", "Infinity", "NaN": the worker's float grammar reads them all.
        static string Number(double value)
        {
            return value.ToString("R", CultureInfo.InvariantCulture);
        }

        // ---- starting a process --------------------------------------------------------------

        // How ProcessStartInfo.Arguments reaches the program differs: Windows (every runtime)
        // passes the line to the program, which splits it by the rules WindowsArguments follows;
        // .NET on Linux and macOS splits it by the same rules itself, but its ArgumentList
        // (.NET Core 2.1+) passes each argument as it is; Mono's own class libraries (mscorlib,
        // not .NET's System.Private.CoreLib, which .NET on Mono's runtime has too) split it on
        // Linux and macOS like a POSIX shell (quotes, backslashes), and ignore ArgumentList.
        static readonly bool MonoOnUnix = !OnWindows && typeof(object).Assembly.GetName().Name == "mscorlib";
        static readonly System.Reflection.PropertyInfo ArgumentList =
            typeof(ProcessStartInfo).GetProperty("ArgumentList");

        internal static Process Launch(string program, IList<string> args)
        {
            foreach (string arg in args)
                if (arg.IndexOf('\0') >= 0) throw new ArgumentException("an argument holds a NUL character: " + arg);
            var info = new ProcessStartInfo
            {
                FileName = program,
                UseShellExecute = false,
                CreateNoWindow = true,
                RedirectStandardInput = true,
                RedirectStandardOutput = true,
                RedirectStandardError = true,
                // The streams are read as bytes (BaseStream) and decoded here; these say so.
                StandardOutputEncoding = TranscribeRun.Utf8,
                StandardErrorEncoding = TranscribeRun.Utf8,
            };
            if (MonoOnUnix)
            {
                var all = new List<string>(args);
                if (program.IndexOf('\\') >= 0)
                {
                    // Mono turns backslashes in FileName into slashes: a shell that execs it
                    // keeps the process (and its id) the program's.
                    info.FileName = "/bin/sh";
                    all.InsertRange(0, new[] { "-c", "exec \"$0\" \"$@\"", program });
                }
                info.Arguments = string.Join(" ", all.ConvertAll(ShellQuoted));
            }
            else if (!OnWindows && ArgumentList != null)
            {
                var list = (ICollection<string>)ArgumentList.GetValue(info, null);
                foreach (string arg in args) list.Add(arg);
            }
            else
            {
                info.Arguments = WindowsArguments(args);
            }
            return Process.Start(info);
        }

        static string ShellQuoted(string text)
        {
            return "'" + text.Replace("'", "'\\''") + "'";
        }

        static readonly char[] WindowsSpecial = { ' ', '\t', '\n', '\v', '"' };

        /// <summary>The arguments as one Windows command line (after the program's path), quoted
        /// so that CommandLineToArgvW, the C runtime and the worker give each back unchanged:
        /// quotes only where needed, backslashes doubled before a quotation mark (which gets one
        /// more) and before the closing quotation mark.</summary>
        internal static string WindowsArguments(IEnumerable<string> args)
        {
            var line = new StringBuilder();
            foreach (string text in args)
            {
                if (line.Length > 0) line.Append(' ');
                if (text.Length > 0 && text.IndexOfAny(WindowsSpecial) < 0)
                {
                    line.Append(text);
                    continue;
                }
                line.Append('"');
                for (int i = 0; ; ++i)
                {
                    int backslashes = 0;
                    while (i < text.Length && text[i] == '\\')
                    {
                        ++i;
                        ++backslashes;
                    }
                    if (i == text.Length)
                    {
                        line.Append('\\', backslashes * 2);
                        break;
                    }
                    line.Append('\\', text[i] == '"' ? backslashes * 2 + 1 : backslashes);
                    line.Append(text[i]);
                }
                line.Append('"');
            }
            return line.ToString();
        }

        /// <summary>The worker's error text: what follows the first line of standard error that
        /// starts with "error: ", to the end, without the last line break; null without one.
        /// The libraries' own lines come before it.</summary>
        internal static string ErrorText(string standardError)
        {
            const string marker = "error: ";
            int at = ("\n" + standardError).IndexOf("\n" + marker, StringComparison.Ordinal);
            return at < 0 ? null : standardError.Substring(at + marker.Length).TrimEnd('\r', '\n');
        }
    }

    /// <summary>One worker run: its records (foreach), Progress, Cancel(). Dispose() cancels a run
    /// not read to its end and waits for the worker's exit.</summary>
    public sealed class TranscribeRun : IEnumerable<Record>, IDisposable
    {
        internal static readonly UTF8Encoding Utf8 = new UTF8Encoding(false, false); // U+FFFD for bad bytes

        // The duration probe is the given ffmpeg with the worker's own whitelists for its decoder,
        // so that it opens nothing the worker would not (no playlist, no URL, no device). "-i"
        // without an output lists the input on standard error ("  Duration: 00:41:07.52, ...")
        // and exits with 1.
        static readonly string[] Whitelists = {
            "-format_whitelist", "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,mpegts,flv,mp3,aac,wav,flac,ogg",
            "-codec_whitelist", "aac,aac_fixed,aac_latm,mp3,mp3float,mp2,mp2float,mp1,mp1float,opus,libopus," +
            "vorbis,libvorbis,flac,alac,ac3,ac3_fixed,eac3,dca,truehd,mlp,pcm_s16le,pcm_s16be,pcm_s24le," +
            "pcm_s24be,pcm_s32le,pcm_s32be,pcm_f32le,pcm_f32be,pcm_f64le,pcm_u8,pcm_alaw,pcm_mulaw",
            "-protocol_whitelist", "file" };
        static readonly Regex DurationLine = new Regex(@"^  Duration: (\d+):(\d\d):(\d\d(?:\.\d+)?)",
                                                       RegexOptions.Multiline | RegexOptions.CultureInvariant);
        const int ExitedGraceMs = 2000; // Windows: how long the output may outlive the worker

        static readonly bool OnWindows = Path.DirectorySeparatorChar == '\\';

        readonly Process worker;
        readonly object gate = new object(); // everything below up to the probe
        readonly Queue<string> lines = new Queue<string>();
        readonly MemoryStream standardError = new MemoryStream();
        readonly Thread outputReader, errorReader;
        bool outputEnded, cancelled;
        readonly Stopwatch sinceExit = new Stopwatch();
        readonly double first;
        readonly double? last;
        double reached;
        double? duration;
        bool succeeded;

        readonly object probeGate = new object();
        Process probe;
        bool probeStarted, probeStopped;
        readonly Thread prober;

        readonly object finishGate = new object();
        bool finished, failureReported;
        WorkerException failure;
        int inputClosed;
        CancellationTokenRegistration registration;

        internal TranscribeRun(Process worker, string ffmpeg, string media, double first, double? last)
        {
            this.worker = worker;
            this.first = first;
            this.last = last;
            reached = first;
            outputReader = Background(ReadOutput);
            errorReader = Background(ReadError);
            prober = Background(() => Probe(ffmpeg, media));
        }

        internal void Register(CancellationToken token)
        {
            registration = token.Register(Cancel); // runs Cancel at once when already cancelled
        }

        static Thread Background(ThreadStart work)
        {
            var thread = new Thread(work) { IsBackground = true, Name = "transcribe-worker host" };
            thread.Start();
            return thread;
        }

        /// <summary>The share of the media (or of the Start..End range) transcribed so far, 0 to 1,
        /// and 1 once the run has succeeded; null while the duration is not known (ffmpeg has not
        /// read it yet, or could not, or the media is not a regular file).</summary>
        public double? Progress
        {
            get
            {
                lock (gate)
                {
                    if (succeeded) return 1.0;
                    if (!duration.HasValue) return null;
                    double stop = last.HasValue && !(last.Value >= duration.Value) ? last.Value : duration.Value;
                    if (!(stop > first)) return 1.0;
                    return Math.Max(0.0, Math.Min(1.0, (reached - first) / (stop - first)));
                }
            }
        }

        /// <summary>Stops the worker through its standard input: it ends its decoder and exits
        /// within about two seconds. The enumeration then ends without an exception and without
        /// the records that were still to come.</summary>
        public void Cancel()
        {
            lock (gate)
            {
                if (cancelled) return;
                cancelled = true;
                Monitor.PulseAll(gate);
            }
            CloseInput();
            StopProbe();
        }

        public void Dispose()
        {
            Cancel(); // nothing to stop once the run is over
            Finish();
        }

        public IEnumerator<Record> GetEnumerator()
        {
            return new Enumerator(this);
        }

        System.Collections.IEnumerator System.Collections.IEnumerable.GetEnumerator()
        {
            return GetEnumerator();
        }

        // foreach disposes its enumerator when the loop is left: leaving early cancels the run.
        sealed class Enumerator : IEnumerator<Record>
        {
            readonly TranscribeRun run;

            internal Enumerator(TranscribeRun run)
            {
                this.run = run;
            }

            public Record Current { get; private set; }
            object System.Collections.IEnumerator.Current => Current;

            public bool MoveNext()
            {
                Record record;
                bool got = run.Next(out record);
                Current = record;
                return got;
            }

            public void Reset()
            {
                throw new NotSupportedException();
            }

            public void Dispose()
            {
                run.Dispose();
            }
        }

        // ---- reading --------------------------------------------------------------------------

        bool Next(out Record record)
        {
            record = null;
            string line = null;
            lock (gate)
            {
                while (!cancelled && line == null)
                {
                    if (lines.Count > 0)
                    {
                        line = lines.Dequeue();
                    }
                    else if (outputEnded)
                    {
                        break;
                    }
                    else if (!Monitor.Wait(gate, OnWindows ? 250 : Timeout.Infinite) && worker.HasExited)
                    {
                        sinceExit.Start();
                        if (sinceExit.ElapsedMilliseconds > ExitedGraceMs) outputEnded = true;
                    }
                }
            }
            if (line != null)
            {
                record = RecordReader.Read(line);
                var words = record as Words;
                if (words != null && !double.IsNaN(words.End))
                {
                    lock (gate) reached = words.End;
                }
                return true;
            }
            Finish();
            lock (finishGate)
            {
                if (failure == null || failureReported) return false;
                failureReported = true;
                throw failure;
            }
        }

        void ReadOutput()
        {
            var pending = new MemoryStream(); // the line being read
            var buffer = new byte[65536];
            try
            {
                Stream stream = worker.StandardOutput.BaseStream;
                int got;
                while ((got = stream.Read(buffer, 0, buffer.Length)) > 0)
                {
                    List<string> complete = null;
                    int start = 0, feed;
                    while ((feed = Array.IndexOf(buffer, (byte)'\n', start, got - start)) >= 0)
                    {
                        pending.Write(buffer, start, feed - start);
                        (complete = complete ?? new List<string>()).Add(Utf8.GetString(pending.GetBuffer(), 0, (int)pending.Length));
                        pending.SetLength(0);
                        start = feed + 1;
                    }
                    pending.Write(buffer, start, got - start);
                    if (complete == null) continue;
                    lock (gate)
                    {
                        foreach (string line in complete) lines.Enqueue(line);
                        Monitor.PulseAll(gate);
                    }
                }
            }
            catch (IOException) { }
            catch (ObjectDisposedException) { }
            // A last line without its line feed was cut short by a stop: it is dropped.
            lock (gate)
            {
                outputEnded = true;
                Monitor.PulseAll(gate);
            }
        }

        void ReadError()
        {
            var buffer = new byte[65536];
            try
            {
                Stream stream = worker.StandardError.BaseStream;
                int got;
                while ((got = stream.Read(buffer, 0, buffer.Length)) > 0)
                {
                    lock (standardError) standardError.Write(buffer, 0, got);
                }
            }
            catch (IOException) { }
            catch (ObjectDisposedException) { }
        }

        // ---- the duration, for Progress -------------------------------------------------------

        // Only a regular file with data is probed: a FIFO or a device would hand part of its
        // stream to the probe instead of the worker. .NET tells no file type, but their length
        // is 0 on Linux and macOS, where a symbolic link (ReparsePoint there) may lead to one
        // and is not probed either. (On Windows ReparsePoint also marks OneDrive's files.)
        static bool IsRegularFile(string path)
        {
            try
            {
                var info = new FileInfo(path);
                return info.Exists && info.Length > 0 && (OnWindows || (info.Attributes & FileAttributes.ReparsePoint) == 0);
            }
            catch (Exception error) when (error is IOException || error is UnauthorizedAccessException ||
                                          error is ArgumentException || error is NotSupportedException)
            {
                return false;
            }
        }

        // On its own thread, which the run's end does not wait for until the probe has started:
        // on a stalled share even the look at the file waits as long as the share.
        void Probe(string ffmpeg, string media)
        {
            if (!IsRegularFile(media)) return;
            Process process;
            lock (probeGate)
            {
                if (probeStopped) return;
                try
                {
                    process = Transcriber.Launch(ffmpeg, new List<string>(Whitelists) { "-nostdin", "-hide_banner", "-i", media });
                }
                catch (Win32Exception) { return; } // no ffmpeg there: no duration
                probe = process;
                probeStarted = true;
            }
            try
            {
                process.StandardInput.Close();
                process.StandardOutput.ReadToEndAsync(); // nothing comes, but it is drained
                Match found = DurationLine.Match(process.StandardError.ReadToEnd());
                process.WaitForExit();
                if (found.Success)
                {
                    double seconds = int.Parse(found.Groups[1].Value, CultureInfo.InvariantCulture) * 3600 +
                                     int.Parse(found.Groups[2].Value, CultureInfo.InvariantCulture) * 60 +
                                     double.Parse(found.Groups[3].Value, CultureInfo.InvariantCulture);
                    lock (gate) duration = seconds;
                }
            }
            catch (IOException) { }
            catch (OverflowException) { }
            finally
            {
                lock (probeGate) probe = null;
                process.Dispose();
            }
        }

        /// <summary>Ends the probe, and keeps another from starting: whether one had started.</summary>
        bool StopProbe()
        {
            lock (probeGate)
            {
                probeStopped = true;
                if (probe == null) return probeStarted;
                try
                {
                    probe.Kill(); // the probe starts no process of its own
                }
                catch (InvalidOperationException) { } // it has exited
                catch (Win32Exception) { }            // it is exiting
                return true;
            }
        }

        // ---- the end ------------------------------------------------------------------------

        void CloseInput()
        {
            if (Interlocked.Exchange(ref inputClosed, 1) != 0) return;
            try
            {
                worker.StandardInput.Close(); // the worker's standard input ends: its stop request
            }
            catch (IOException) { }           // what the framework still had to write, to a worker gone
            catch (ObjectDisposedException) { }
        }

        /// <summary>Waits for the worker's exit and its output, and decides the outcome: once,
        /// whichever thread comes first; the others wait for it.</summary>
        void Finish()
        {
            lock (finishGate)
            {
                if (finished) return;
                worker.WaitForExit();
                bool readersDone = Join(outputReader) & Join(errorReader);
                int? status = null;
                try
                {
                    status = worker.ExitCode;
                }
                catch (InvalidOperationException) { }
                if (StopProbe()) prober.Join(); // it ends with the run, so it is gone with it
                bool wasCancelled;
                lock (gate) wasCancelled = cancelled;
                registration.Dispose();
                CloseInput();
                if (readersDone) worker.Dispose(); // otherwise a reader still holds its pipe
                finished = true;
                if (wasCancelled) return;
                if (status == 0)
                {
                    lock (gate) succeeded = true;
                    return;
                }
                string text;
                lock (standardError) text = Utf8.GetString(standardError.GetBuffer(), 0, (int)standardError.Length);
                string message = Transcriber.ErrorText(text) ?? (status.HasValue
                    ? "transcribe-worker ended with status " + status.Value
                    : "the exit status of transcribe-worker is unknown");
                failure = new WorkerException(message, status, text);
            }
        }

        // On Windows a reader may wait on a pipe that a stray process holds: it is left to end
        // with that process.
        bool Join(Thread reader)
        {
            if (!OnWindows)
            {
                reader.Join();
                return true;
            }
            return reader.Join(ExitedGraceMs);
        }
    }

    /// <summary>Reads the worker's records: {"ready":true} and
    /// {"end":E,"words":[{"end":E,"start":S,"text":T},...]}, E and S numbers or null. A small
    /// JSON reader of its own, because System.Text.Json is not part of .NET Framework and a
    /// NuGet package would be one more thing for every host to ship; it reads any JSON text
    /// (escapes, surrogate pairs, any key order), so nothing depends on the worker's spacing.
    /// </summary>
    internal static class RecordReader
    {
        public static Record Read(string line)
        {
            var value = new Json(line).Document() as Dictionary<string, object>;
            object ready, words, end;
            if (value != null && value.TryGetValue("ready", out ready) && true.Equals(ready)) return new Ready();
            var list = value != null && value.TryGetValue("words", out words) ? words as List<object> : null;
            if (list != null && value.TryGetValue("end", out end) && (end == null || end is double))
            {
                var items = new List<Word>(list.Count);
                foreach (object item in list)
                {
                    var word = item as Dictionary<string, object>;
                    object text, start, stop;
                    if (word == null || !word.TryGetValue("text", out text) || !(text is string) ||
                        !word.TryGetValue("start", out start) || !word.TryGetValue("end", out stop) ||
                        !(start == null || start is double) || !(stop == null || stop is double))
                        break;
                    items.Add(new Word((string)text, (double?)start ?? double.NaN, (double?)stop ?? double.NaN));
                }
                if (items.Count == list.Count) return new Words((double?)end ?? double.NaN, items);
            }
            throw new FormatException("not a record of transcribe-worker: " + line);
        }

        /// <summary>JSON values as objects: Dictionary&lt;string, object&gt;, List&lt;object&gt;, string,
        /// double, bool, null.</summary>
        internal struct Json
        {
            readonly string text;
            int at;

            public Json(string text)
            {
                this.text = text;
                at = 0;
            }

            public object Document()
            {
                object value = Value();
                Blank();
                if (at != text.Length) throw Error();
                return value;
            }

            Exception Error()
            {
                return new FormatException("not JSON at character " + at + ": " + text);
            }

            void Blank()
            {
                while (at < text.Length && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) ++at;
            }

            bool Take(char c)
            {
                Blank();
                if (at >= text.Length || text[at] != c) return false;
                ++at;
                return true;
            }

            bool Word(string word)
            {
                if (string.CompareOrdinal(text, at, word, 0, word.Length) != 0) return false;
                at += word.Length;
                return true;
            }

            object Value()
            {
                Blank();
                if (at >= text.Length) throw Error();
                char c = text[at];
                if (c == '{')
                {
                    ++at;
                    var members = new Dictionary<string, object>();
                    if (Take('}')) return members;
                    do
                    {
                        Blank();
                        string key = String();
                        if (!Take(':')) throw Error();
                        members[key] = Value();
                    } while (Take(','));
                    if (!Take('}')) throw Error();
                    return members;
                }
                if (c == '[')
                {
                    ++at;
                    var items = new List<object>();
                    if (Take(']')) return items;
                    do items.Add(Value()); while (Take(','));
                    if (!Take(']')) throw Error();
                    return items;
                }
                if (c == '"') return String();
                if (Word("true")) return true;
                if (Word("false")) return false;
                if (Word("null")) return null;
                return Number();
            }

            double Number()
            {
                int start = at;
                if (at < text.Length && text[at] == '-') ++at;
                int digits = Digits();
                if (at < text.Length && text[at] == '.')
                {
                    ++at;
                    if (Digits() == 0) throw Error();
                }
                if (at < text.Length && (text[at] == 'e' || text[at] == 'E'))
                {
                    ++at;
                    if (at < text.Length && (text[at] == '+' || text[at] == '-')) ++at;
                    if (Digits() == 0) throw Error();
                }
                double value;
                if (digits == 0 || !double.TryParse(text.Substring(start, at - start), NumberStyles.Float,
                                                    CultureInfo.InvariantCulture, out value))
                    throw Error();
                return value;
            }

            int Digits()
            {
                int start = at;
                while (at < text.Length && text[at] >= '0' && text[at] <= '9') ++at;
                return at - start;
            }

            string String()
            {
                if (at >= text.Length || text[at] != '"') throw Error();
                ++at;
                var result = new StringBuilder();
                while (true)
                {
                    if (at >= text.Length) throw Error();
                    char c = text[at++];
                    if (c == '"') return result.ToString();
                    if (c != '\\')
                    {
                        result.Append(c);
                        continue;
                    }
                    if (at >= text.Length) throw Error();
                    char e = text[at++];
                    int code;
                    switch (e)
                    {
                        case '"': case '\\': case '/': result.Append(e); break;
                        case 'b': result.Append('\b'); break;
                        case 'f': result.Append('\f'); break;
                        case 'n': result.Append('\n'); break;
                        case 'r': result.Append('\r'); break;
                        case 't': result.Append('\t'); break;
                        case 'u': // a surrogate pair is two of these, appended one after the other
                            if (at + 4 > text.Length || !int.TryParse(text.Substring(at, 4), NumberStyles.AllowHexSpecifier,
                                                                      CultureInfo.InvariantCulture, out code))
                                throw Error();
                            result.Append((char)code);
                            at += 4;
                            break;
                        default: throw Error();
                    }
                }
            }
        }
    }
}
