'use strict';
// Runs transcribe-worker on one media file and hands over its records (Node.js 18+, CommonJS,
// child_process only).
//
//   const { transcribe } = require('./transcribe-host.js');
//   const run = transcribe({ media: 'talk.mp4', model: 'models/parakeet', ffmpeg: 'ffmpeg' });
//   for await (const record of run) {
//     if (record.type === 'words') console.log(run.progress, record.words.map((w) => w.text));
//   }
//
// The worker is always started with --exit-on-stdin-close and its standard input kept open: a
// cancel closes it, and so does the end of this process, however it ends, so no worker and no
// ffmpeg outlive the host. No shell is involved: the arguments go as an array, and on Windows
// Node quotes them by the system's rules. Standard output and standard error are read as they
// come, so a worker that writes much to either never waits for the host.

const { spawn, execFile } = require('child_process');
const fs = require('fs');
const path = require('path');

const WINDOWS = process.platform === 'win32';
const EXE = WINDOWS ? '.exe' : '';
const WORKER = 'transcribe-worker' + EXE;

// The text after the last line that starts with "error: ", to the end (it may span lines;
// lines of the speech library may come before it). null when there is none.
function errorText(stderr) {
  let at = stderr.lastIndexOf('\nerror: ');
  if (at >= 0) at += 1;
  else if (stderr.startsWith('error: ')) at = 0;
  else return null;
  return stderr.slice(at + 'error: '.length).replace(/[\r\n]+$/, '');
}

// transcribe-worker beside this module, in the package folder it came in, or (by its bare name)
// on PATH.
function findWorker() {
  for (const folder of [__dirname, path.dirname(path.dirname(__dirname))]) {
    const candidate = path.join(folder, WORKER);
    if (fs.existsSync(candidate)) return candidate;
  }
  return WORKER;
}

function toRecord(line) {
  const value = JSON.parse(line);
  if (value.ready === true) return { type: 'ready' };
  return {
    type: 'words',
    end: value.end,
    words: value.words.map((w) => ({ start: w.start, end: w.end, text: w.text })),
  };
}

// Starts transcribe-worker on `media`. Paths are made absolute here, so they mean what they
// mean in this process wherever the worker and ffmpeg run.
function transcribe({ media, model, ffmpeg, worker, start, end, batch, provider }) {
  media = path.resolve(String(media));
  ffmpeg = String(ffmpeg);
  if (path.basename(ffmpeg) !== ffmpeg) ffmpeg = path.resolve(ffmpeg); // a bare name: PATH
  const args = ['--model', path.resolve(String(model)), '--ffmpeg', ffmpeg];
  if (start != null) args.push('--start', String(Number(start)));
  if (end != null) args.push('--end', String(Number(end)));
  if (batch != null) args.push('--batch', String(Math.trunc(Number(batch))));
  if (provider != null) args.push('--provider', String(provider));
  args.push('--exit-on-stdin-close', media);

  const child = spawn(worker != null ? String(worker) : findWorker(), args, {
    stdio: ['pipe', 'pipe', 'pipe'],
    windowsHide: true,
  });
  const first = start != null ? Math.max(0, Number(start)) : 0;
  const last = end != null ? Number(end) : null;

  const records = [];       // parsed records not yet handed over
  const stderr = [];
  let waiting = null;       // the pending next(): { resolve, reject }
  let pending = Buffer.alloc(0);
  let cancelled = false;
  let outcome = null;       // set when the worker has exited and its output is read
  let reached = first;
  let duration = null;

  function settle() {
    if (!waiting) return;
    const { resolve, reject } = waiting;
    if (!cancelled && records.length > 0) {
      waiting = null;
      const record = records.shift();
      if (record.type === 'words') reached = record.end;
      resolve({ value: record, done: false });
    } else if (outcome) {
      waiting = null;
      if (outcome.error && !cancelled) reject(outcome.error);
      else resolve({ value: undefined, done: true });
      outcome.error = null; // reported once
    }
  }

  child.stdout.on('data', (chunk) => {
    pending = Buffer.concat([pending, chunk]);
    let at;
    while ((at = pending.indexOf(10)) >= 0) {
      records.push(toRecord(pending.subarray(0, at).toString('utf8')));
      pending = pending.subarray(at + 1);
    }
    settle();
  });
  child.stderr.on('data', (chunk) => stderr.push(chunk));
  child.stdin.on('error', () => {}); // the worker has gone; its exit tells the rest
  child.on('error', (error) => {      // it could not be started
    error.status = null;
    error.stderr = '';
    outcome = { error };
    settle();
  });
  // 'close' comes after the exit and the end of both pipes. A last line without its line feed
  // was cut short by a stop: it is dropped.
  child.on('close', (code, signal) => probed.then(() => {
    if (outcome) return; // it could not be started
    const status = code != null ? code : signal;
    let error = null;
    if (status !== 0) {
      const text = Buffer.concat(stderr).toString('utf8');
      const message = errorText(text);
      error = new Error(message != null ? message : `${WORKER} ended with status ${status}`);
      error.status = status;
      error.stderr = text;
    } else {
      reached = last != null ? last : Infinity;
    }
    outcome = { error };
    settle();
  }));

  // The media's duration from ffprobe beside ffmpeg, for `progress`.
  // The run's end waits for it, so that the progress is final then.
  const ffprobe = path.join(path.dirname(ffmpeg), 'ffprobe' + EXE);
  const probed = new Promise((resolve) => {
    if (!fs.existsSync(ffprobe)) return resolve();
    const probe = ['-v', 'error', '-show_entries', 'format=duration', '-of', 'csv=p=0', media];
    execFile(ffprobe, probe, { windowsHide: true, timeout: 60000 }, (error, out) => {
      const seconds = error ? NaN : Number(String(out).trim());
      if (Number.isFinite(seconds)) duration = seconds;
      resolve();
    }).stdin.end();
  });

  function cancel() {
    cancelled = true;
    child.stdin.end();
    settle();
  }

  return {
    // Stops the worker through its standard input; the iteration then ends without an error
    // once the worker has exited (it ends its decoder first, within about two seconds).
    cancel,
    // The share of the media (or of the range) transcribed so far, 0 to 1; null while the
    // duration is not known (no ffprobe beside ffmpeg, or it could not read the file).
    get progress() {
      if (duration == null) return null;
      const stop = last != null ? Math.min(duration, last) : duration;
      if (stop <= first) return 1;
      return Math.max(0, Math.min(1, (reached - first) / (stop - first)));
    },
    [Symbol.asyncIterator]() {
      return this;
    },
    next() {
      return new Promise((resolve, reject) => {
        waiting = { resolve, reject };
        settle();
      });
    },
    // Leaving a for-await loop early cancels the run and waits for the worker's exit.
    return() {
      cancel();
      return this.next().catch(() => ({ value: undefined, done: true }));
    },
  };
}

module.exports = { transcribe, errorText };
