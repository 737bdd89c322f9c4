// Drives hosts/dotnet/TranscribeHost.cs for tests/e2e/test_hosts.py: the command line and the
// lines written are those of host_driver.py. Each run goes on a thread of its own; the wait mode
// cancels through a CancellationToken, whose timer calls Cancel() on another thread. Compiled
// with the host into one assembly, it also gives the tests the host's own pieces:
//     host_driver quote    each line of standard input a JSON array of strings, the program
//                          and its arguments; writes the Windows command line Process.Start
//                          makes of them ("PROGRAM" ARGUMENTS) as a JSON string
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.Text;
using System.Threading;
using Transcription;

static class HostDriver
{
    static readonly Stream Out = Console.OpenStandardOutput();
    static string mode, worker, model, ffmpeg;

    static void Write(string line)
    {
        byte[] bytes = new UTF8Encoding(false).GetBytes(line + "\n");
        lock (Out)
        {
            Out.Write(bytes, 0, bytes.Length);
            Out.Flush();
        }
    }

    static void Emit(int run, string members)
    {
        Write("{\"run\":" + run + "," + members + "}");
    }

    static string Number(double? value)
    {
        if (!value.HasValue || double.IsNaN(value.Value) || double.IsInfinity(value.Value)) return "null";
        return value.Value.ToString("G17", CultureInfo.InvariantCulture); // read back exactly
    }

    static string Text(string text)
    {
        var json = new StringBuilder("\"");
        foreach (char c in text)
        {
            if (c == '"' || c == '\\') json.Append('\\').Append(c);
            else if (c < ' ') json.AppendFormat("\\u{0:x4}", (int)c);
            else json.Append(c);
        }
        return json.Append('"').ToString();
    }

    static string AsJson(Record record)
    {
        var words = record as Words;
        if (words == null) return "{\"ready\":true}";
        var items = new List<string>();
        foreach (Word w in words.Items)
            items.Add("{\"end\":" + Number(w.End) + ",\"start\":" + Number(w.Start) + ",\"text\":" + Text(w.Text) + "}");
        return "{\"end\":" + Number(words.End) + ",\"words\":[" + string.Join(",", items) + "]}";
    }

    static int Drive(int index, string media)
    {
        var options = new TranscribeOptions { Media = media, Model = model, Ffmpeg = ffmpeg, Worker = worker.Length > 0 ? worker : null };
        var timer = new CancellationTokenSource();
        string end;
        TranscribeRun started;
        try
        {
            started = Transcriber.Start(options, timer.Token);
        }
        catch (FileNotFoundException error)
        {
            Emit(index, "\"refused\":" + Text(error.Message));
            return 0;
        }
        using (var run = started)
        {
            try
            {
                if (mode == "idle")
                {
                    Thread.Sleep(3000);
                    run.Cancel();
                }
                if (mode == "wait") timer.CancelAfter(3000);
                foreach (Record record in run)
                {
                    if (mode == "pipe")
                    {
                        Write(AsJson(record));
                        continue;
                    }
                    Emit(index, "\"record\":" + AsJson(record));
                    if (record is Words && mode == "cancel") run.Cancel();
                    if (record is Words && mode == "die") Process.GetCurrentProcess().Kill();
                    if (mode == "close") break;
                }
                end = "\"done\":true,\"progress\":" + Number(run.Progress);
            }
            catch (WorkerException error)
            {
                if (mode == "pipe")
                {
                    Write("error: " + error.Message);
                    return error.ExitCode ?? 1;
                }
                string status = error.ExitCode.HasValue ? error.ExitCode.Value.ToString(CultureInfo.InvariantCulture) : "null";
                end = "\"error\":" + Text(error.Message) + ",\"status\":" + status + ",\"stderr\":" + Text(error.StandardError);
            }
            foreach (Record record in run) Emit(index, "\"record\":" + AsJson(record)); // none after the end
            if (mode != "pipe") Emit(index, end);
        }
        return 0;
    }

    static void Quote()
    {
        string line;
        var input = new StreamReader(Console.OpenStandardInput(), new UTF8Encoding(false));
        while ((line = input.ReadLine()) != null)
        {
            var vector = (List<object>)new RecordReader.Json(line).Document();
            var args = vector.ConvertAll(item => (string)item);
            Write(Text("\"" + args[0] + "\" " + Transcriber.WindowsArguments(args.GetRange(1, args.Count - 1))));
        }
    }

    static int Main(string[] args)
    {
        if (args.Length == 1 && args[0] == "quote")
        {
            Quote();
            return 0;
        }
        if (args.Length < 5)
        {
            Console.Error.WriteLine("usage: host_driver MODE WORKER MODEL FFMPEG MEDIA...");
            return 2;
        }
        mode = args[0];
        worker = args[1];
        model = args[2];
        ffmpeg = args[3];
        if (mode == "pipe") return Drive(0, args[4]);
        var threads = new List<Thread>();
        for (int i = 4; i < args.Length; ++i)
        {
            int index = i - 4;
            string media = args[i];
            threads.Add(new Thread(() => Drive(index, media)));
        }
        threads.ForEach(thread => thread.Start());
        threads.ForEach(thread => thread.Join());
        return 0;
    }
}
