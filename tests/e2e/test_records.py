"""Records written through the worker's record writer by the record_writer stand-in: the exact
bytes on a pipe, a host that closed standard output, and no standard output at all."""
import re
import subprocess

from standin_process import run_program, standin_path, start_program

EXPECTED = (
    b'{"ready":true}\n'
    b'{"end":32.5,"words":[{"end":0.56,"start":0.24,"text":"hello"},'
    b'{"end":1.2,"start":0.64,"text":"world"}]}\n'
    b'{"end":20.01,"words":[]}\n'
    b'{"end":null,"words":[{"end":null,"start":10.400000005960464,'
    b'"text":"q\\"b\\\\s\\tt\\u0001 \xd0\x81\xd0\xb6 \xf0\x9f\x98\x80 a/b\\nz"}]}\n'
    b'{"end":1e+16,"words":[{"end":0.00001,"start":1e-6,"text":"\xc3\xa9"}]}\n'
)


def test_records_reach_the_pipe_byte_exact_one_per_line(worker):
    result = run_program(worker, standin_path(worker, "record_writer"))
    assert result.stdout == EXPECTED  # line feeds only, also from the Windows build
    assert result.stderr == b""
    assert result.returncode == 0


def test_closed_standard_output_fails_the_first_write_with_the_pipe_error(worker):
    process = start_program(worker, standin_path(worker, "record_writer"),
                            ["--after-stdin-ends"], stdin=subprocess.PIPE)
    process.stdout.close()  # the host goes away from standard output first
    process.stdin.close()   # then lets the stand-in write
    err = process.stderr.read()
    assert process.wait(timeout=120) == 1
    if worker.windows:
        # A Linux reader that left shows as ERROR_PIPE_NOT_CONNECTED under wine; Windows itself
        # reports ERROR_NO_DATA. The texts differ from Windows', so only the code is compared.
        assert re.fullmatch(rb"error: .+ \(os error (232|233)\)\n", err), err
    else:
        assert err == b"error: Broken pipe (os error 32)\n"


def test_without_standard_output_the_records_are_discarded(worker):
    result = run_program(worker, standin_path(worker, "record_writer"), redirect=">&-")
    assert result.stderr == b""
    assert result.returncode == 0
