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

const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');

const WINDOWS = process.platform === 'win32';
const EXE = WINDOWS ? '.exe' : '';
const WORKER = 'transcribe-worker' + EXE;

// The worker's own whitelists for its decoder, so that the duration probe reads the media as
// locked down as the worker does: local files of those containers and audio codecs only.
const WHITELISTS = [
  '-format_whitelist', 'mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,mpegts,flv,mp3,aac,wav,flac,ogg',
  '-codec_whitelist',
  'aac,aac_fixed,aac_latm,mp3,mp3float,mp2,mp2float,mp1,mp1float,opus,libopus,vorbis,libvorbis,' +
    'flac,alac,ac3,ac3_fixed,eac3,dca,truehd,mlp,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,' +
    'pcm_s32le,pcm_s32be,pcm_f32le,pcm_f32be,pcm_f64le,pcm_u8,pcm_alaw,pcm_mulaw',
  '-protocol_whitelist', 'file',
];
// The line in which ffmpeg lists an input's duration: "  Duration: 00:41:07.52, start: ...".
const DURATION = /^ {2}Duration: (\d+):(\d\d):(\d\d(?:\.\d+)?)/m;

// The text after the first line that starts with "error: ", to the end. The worker writes its
// error last, and the libraries' lines before it never start so, while the error text itself
// may hold lines that do (a path or a decoder message with line breaks). null when there is none.
function errorText(stderr) {
  const at = ('\n' + stderr).indexOf('\nerror: ');
  if (at < 0) return null;
  return stderr.slice(at + 'error: '.length).replace(/[\r\n]+$/, '');
}

function isProgram(file) {
  try {
    fs.accessSync(file, fs.constants.X_OK);
    return fs.statSync(file).isFile();
  } catch {
    return false;
  }
}

// A program path made absolute. A bare name (no folder) is looked for in PATH's absolute folders
// only, with ".exe" added on Windows when it has no extension, and throws when it is in none of
// them: never the current folder, which Windows (and Node's own search there) looks in first,
// and an empty or relative PATH entry (a stray ":" at the end) would name too.
function resolveProgram(name) {
  if (path.basename(name) !== name || (WINDOWS && name.includes(':'))) return path.resolve(name);
  const extension = WINDOWS && !path.extname(name) ? '.exe' : '';
  for (let folder of (process.env.PATH || '').split(path.delimiter)) {
    if (WINDOWS) folder = folder.replace(/^"|"$/g, '');
    const candidate = path.join(folder, name + extension);
    if (path.isAbsolute(folder) && isProgram(candidate)) return candidate;
  }
  const error = new Error(`${name} is not on PATH (a bare name is looked for there only)`);
  error.code = 'ENOENT';
  throw error;
}

// The duration from ffmpeg listing the media: "-i" without an output reads the header, writes
// what it found to standard error and exits with 1. Only for a regular file: a FIFO or a device
// would hand part of its stream to the probe instead of the worker. Calls back with the seconds;
// returns the function that ends the probe (a stalled share must not hold a cancel up).
function probeDuration(ffmpeg, media, done) {
  let probe = null;
  let ended = false;
  fs.stat(media, (error, stats) => {
    if (error || !stats.isFile() || ended) return;
    probe = spawn(ffmpeg, [...WHITELISTS, '-nostdin', '-hide_banner', '-i', media], {
      stdio: ['ignore', 'ignore', 'pipe'],
      windowsHide: true,
    });
    const output = [];
    probe.stderr.on('data', (chunk) => output.push(chunk));
    probe.on('error', () => {}); // it could not be started: no duration
    probe.on('close', () => {
      const found = DURATION.exec(Buffer.concat(output).toString('utf8'));
      if (found) done(Number(found[1]) * 3600 + Number(found[2]) * 60 + Number(found[3]));
    });
  });
  return () => {
    ended = true;
    if (probe) probe.kill('SIGKILL');
  };
}

// transcribe-worker beside this module, in the package folder it came in, or on PATH.
function findWorker() {
  for (const folder of [__dirname, path.dirname(path.dirname(__dirname))]) {
    const candidate = path.join(folder, WORKER);
    if (fs.existsSync(candidate)) return candidate;
  }
  return resolveProgram(WORKER);
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
// mean in this process wherever the worker and ffmpeg run. Throws an Error with the code ENOENT,
// and starts nothing, when `ffmpeg` or `worker` is a bare name that is not on PATH.
function transcribe({ media, model, ffmpeg, worker, start, end, batch, provider }) {
  media = path.resolve(String(media));
  ffmpeg = resolveProgram(String(ffmpeg));
  worker = worker != null ? resolveProgram(String(worker)) : findWorker();
  const args = ['--model', path.resolve(String(model)), '--ffmpeg', ffmpeg];
  if (start != null) args.push('--start', String(Number(start)));
  if (end != null) args.push('--end', String(Number(end)));
  if (batch != null) args.push('--batch', String(Math.trunc(Number(batch))));
  if (provider != null) args.push('--provider', String(provider));
  args.push('--exit-on-stdin-close', media);

  const child = spawn(worker, args, {
    stdio: ['pipe', 'pipe', 'pipe'],
    windowsHide: true,
  });
  const first = start != null ? Math.max(0, Number(start)) : 0;
  const last = end != null ? Number(end) : null;

  const records = [];       // parsed records not yet handed over
  const stderr = [];
  const waiting = [];       // the pending next() calls, oldest first: { resolve, reject }
  let pending = Buffer.alloc(0);
  let cancelled = false;
  let outcome = null;       // set when the worker has exited and its output is read
  let succeeded = false;    // and the records have all been handed over
  let reached = first;
  let duration = null;
  const endProbe = probeDuration(ffmpeg, media, (seconds) => { duration = seconds; });

  // Hands out what has come, oldest call first: a record each, and once the worker has exited
  // and its output is read, the end to every call left (a failure to the first of them only).
  function settle() {
    while (waiting.length > 0) {
      if (!cancelled && records.length > 0) {
        const record = records.shift();
        if (record.type === 'words') reached = record.end;
        waiting.shift().resolve({ value: record, done: false });
      } else if (outcome) {
        const { resolve, reject } = waiting.shift();
        if (outcome.succeeded && !cancelled) succeeded = true;
        if (outcome.error && !cancelled) reject(outcome.error);
        else resolve({ value: undefined, done: true });
        outcome.error = null; // reported once
      } else {
        return;
      }
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
    endProbe();
    error.status = null;
    error.stderr = '';
    outcome = { error };
    settle();
  });
  // 'close' comes after the exit and the end of both pipes. A last line without its line feed
  // was cut short by a stop: it is dropped.
  child.on('close', (code, signal) => {
    endProbe();
    if (outcome) return; // it could not be started
    const status = code != null ? code : signal;
    let error = null;
    if (status !== 0) {
      const text = Buffer.concat(stderr).toString('utf8');
      const message = errorText(text);
      error = new Error(message != null ? message : `${WORKER} ended with status ${status}`);
      error.status = status;
      error.stderr = text;
    }
    outcome = { error, succeeded: status === 0 };
    settle();
  });

  function cancel() {
    cancelled = true;
    child.stdin.end();
    endProbe();
    settle();
  }

  return {
    // Stops the worker through its standard input and ends the duration probe; the iteration
    // then ends without an error once the worker has exited (it ends its decoder first, within
    // about two seconds).
    cancel,
    // The share of the media (or of the range) transcribed so far, 0 to 1, and 1 once the run
    // has succeeded; null while the duration is not known (ffmpeg has not read it yet, or could
    // not, or the media is not a regular file).
    get progress() {
      if (succeeded) return 1;
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
        waiting.push({ resolve, reject });
        settle();
      });
    },
    // Leaving a for-await loop early cancels the run and waits for the worker's exit; so does a
    // call while next() is pending, whose calls then end too.
    return() {
      cancel();
      return this.next().catch(() => ({ value: undefined, done: true }));
    },
  };
}

module.exports = { transcribe, errorText };
