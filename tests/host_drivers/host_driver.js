'use strict';
// Drives hosts/node/transcribe-host.js for tests/e2e/test_hosts.py: the command line and the
// lines written are those of host_driver.py.
const path = require('path');
const host = path.join(__dirname, '..', '..', 'hosts', 'node', 'transcribe-host.js');
const { transcribe } = require(host);

const [mode, worker, model, ffmpeg, ...media] = process.argv.slice(2);
const emit = (event) => process.stdout.write(JSON.stringify(event) + '\n');
const asJson = (record) => (record.type === 'ready' ? { ready: true } : {
  end: record.end,
  words: record.words.map((w) => ({ end: w.end, start: w.start, text: w.text })),
});
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function drive(index, file) {
  let run;
  try {
    run = transcribe({ media: file, model, ffmpeg, worker: worker || undefined });
  } catch (error) {
    if (error.code !== 'ENOENT') throw error;
    emit({ run: index, refused: error.message });
    return;
  }
  let end;
  let extra = null; // wait: a second next() while the loop's waits, then return()
  try {
    if (mode === 'idle') {
      await sleep(3000);
      run.cancel();
    }
    if (mode === 'wait') {
      sleep(3000).then(() => {
        extra = run.next();
        run.return();
      });
    }
    for await (const record of run) {
      if (mode === 'pipe') {
        process.stdout.write(JSON.stringify(asJson(record)) + '\n');
        continue;
      }
      emit({ run: index, record: asJson(record) });
      if (record.type === 'words' && mode === 'cancel') run.cancel();
      if (record.type === 'words' && mode === 'die') process.kill(process.pid, 'SIGKILL');
      if (mode === 'close') break;
    }
    end = { done: true, progress: run.progress };
  } catch (error) {
    if (!(error instanceof Error) || typeof error.status !== 'number') throw error;
    if (mode === 'pipe') {
      process.stdout.write(`error: ${error.message}\n`, () => process.exit(error.status));
      return;
    }
    end = { error: error.message, status: error.status, stderr: error.stderr };
  }
  const last = extra && (await extra);
  if (last && !last.done) emit({ run: index, record: asJson(last.value) });
  for (let next = await run.next(); !next.done; next = await run.next()) {
    emit({ run: index, record: asJson(next.value) });
  }
  if (mode !== 'pipe') emit({ run: index, ...end });
}

Promise.all(media.map((file, index) => drive(index, file)));
