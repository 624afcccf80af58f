#!/usr/bin/env python3
"""An independent client for the adapter simulator.

Speaks the adapters' UDP protocol with bytes written out by hand from the wire
layout (nothing shared with the C++ code) and checks the simulator's answers
byte for byte. Runs only inside the private test network (scripts/netns-run.sh);
elsewhere it exits with status 77, which ctest reports as skipped.

Usage: sim_interop.py PATH-TO-adapter_sim
"""
import os
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
PORT = 9029
BROADCAST = ("255.255.255.255", PORT)

# Discovery request: "HELLO PRUX" and its NUL, 11 bytes.
HELLO = b"HELLO PRUX\x00"

# "HELLO I AM PRUX", reply bytes 0-14.
TAG_HEX = "48454c4c4f204920414d2050525558"

# Adapter 1: 10.231.0.20, 00:1a:2b:3c:4d:5e, no controller, no opaque bytes.
REPLY_1 = bytes.fromhex(
    TAG_HEX
    + "00"  # byte 15
    + "0ae70014"  # 16-19 address 10.231.0.20
    + "001a2b3c4d5e"  # 20-25 MAC
    + "00000000"  # 26-29 opaque
    + "00000000"  # 30-33 controller: none
    + "0000000000000000"  # 34-41 opaque
)
# Adapter 2: 192.168.10.200, 02:00:00:00:00:01, controlled by 10.231.0.1,
# opaque bytes a1a2a3a4 then b1..b8.
REPLY_2 = bytes.fromhex(
    TAG_HEX
    + "00"
    + "c0a80ac8"
    + "020000000001"
    + "a1a2a3a4"
    + "0ae70001"
    + "b1b2b3b4b5b6b7b8"
)
# Adapter 2 after the change to 10.231.0.99 (bytes 16-19 only differ).
REPLY_2_CHANGED = REPLY_2[:16] + bytes([10, 231, 0, 99]) + REPLY_2[20:]

# Change request: "PRUX IFCONFIG" NUL, two zero bytes, new address, MAC and the
# two bytes that followed the MAC in the discovery reply.
CHANGE_TO_99 = (
    b"PRUX IFCONFIG\x00" + b"\x00\x00" + bytes([10, 231, 0, 99])
    + bytes.fromhex("020000000001") + bytes.fromhex("a1a2")
)
CHANGE_UNKNOWN_MAC = (
    b"PRUX IFCONFIG\x00" + b"\x00\x00" + bytes([10, 231, 0, 98])
    + bytes.fromhex("0200000000ff") + b"\x00\x00"
)
IFCONFIG_OK = b"IFCONFIG OK"

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def start_simulator(sim, workdir, name, extra):
    ready = os.path.join(workdir, name + ".ready")
    log = os.path.join(workdir, name + ".log")
    args = [sim, "--ready-file", ready, "--log", log, "--lifetime", "30"] + extra
    process = subprocess.Popen(args, stdin=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while not os.path.exists(ready):
        if process.poll() is not None or time.monotonic() > deadline:
            process.kill()
            process.wait()
            raise RuntimeError("simulator did not start: " + " ".join(args))
        time.sleep(0.02)
    return process


def stop_simulator(process):
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def client_socket():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.bind((os.environ.get("PELLVANE_WORKSTATION_IP", "10.231.0.1"), 0))
    return s


def exchange(s, request, quiet_seconds=0.5):
    """Broadcasts `request` and returns every datagram until a quiet spell."""
    s.sendto(request, BROADCAST)
    answers = []
    s.settimeout(quiet_seconds)
    try:
        while True:
            data, _ = s.recvfrom(2048)
            answers.append(data)
    except socket.timeout:
        pass
    return answers


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    if os.environ.get("PELLVANE_NETNS") != "1":
        print("sim_interop: skipped: not inside the private test network "
              "(run it through scripts/netns-run.sh)")
        return SKIP
    sim = sys.argv[1]

    with tempfile.TemporaryDirectory(prefix="pv-interop-") as workdir:
        process = start_simulator(sim, workdir, "plain", [
            "--adapter", "10.231.0.20,00:1a:2b:3c:4d:5e",
            "--adapter", "192.168.10.200,02:00:00:00:00:01,10.231.0.1,a1a2a3a4b1b2b3b4b5b6b7b8",
        ])
        try:
            s = client_socket()
            check(exchange(s, HELLO) == [REPLY_1, REPLY_2],
                  "discovery: two 42-byte replies, in order, exact bytes")
            check(exchange(s, b"HELLO PRUX") == [],
                  "a 10-byte request without its NUL gets no answer")
            check(exchange(s, CHANGE_UNKNOWN_MAC) == [],
                  "address change for an unknown MAC: silence")
            check(exchange(s, CHANGE_TO_99[:27]) == [],
                  "a 27-byte change request gets no answer")
            check(exchange(s, CHANGE_TO_99) == [IFCONFIG_OK],
                  "address change for adapter 2: exactly \"IFCONFIG OK\"")
            check(exchange(s, HELLO) == [REPLY_1, REPLY_2_CHANGED],
                  "after the change adapter 2 reports 10.231.0.99")
            s.close()
        finally:
            stop_simulator(process)
        log = open(os.path.join(workdir, "plain.log")).read()
        check("len 11: 48 45 4c 4c 4f 20 50 52 55 58 00\n" in log,
              "the simulator logged the request bytes")

        process = start_simulator(sim, workdir, "wrong", [
            "--adapter", "192.168.10.200,02:00:00:00:00:01,10.231.0.1,a1a2a3a4b1b2b3b4b5b6b7b8",
            "--wrong-answer",
        ])
        try:
            s = client_socket()
            answers = exchange(s, CHANGE_TO_99)
            check(len(answers) == 1 and answers[0][:8] == b"IFCONFIG"
                  and answers[0][:9] != b"IFCONFIG ",
                  "--wrong-answer: an answer that is not \"IFCONFIG \"")
            check(exchange(s, HELLO) == [REPLY_2], "--wrong-answer keeps the old address")
            s.close()
        finally:
            stop_simulator(process)

    if failures:
        print("sim_interop: %d check(s) failed" % len(failures))
        return 1
    print("sim_interop: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
