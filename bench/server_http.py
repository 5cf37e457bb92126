#!/usr/bin/python3
"""zarvik12m-server against the C interface, on one emulated register whose
line is paced at a real speed: not a test, a measurement.

  bench/server_http.py BUILD_DIR [BAUD] [GOODS] [CLIENTS]

1. A table read directly through the C interface (the Python package's
   Register.load_goods, one zarvik12m_load_goods call), then the same read
   as GET /api/v1/registers/kkm/goods; their times and ratio.
2. The read again as a job, while CLIENTS threads (200 by default) each
   poll GET /api/v1/jobs/ID ten times a second on a connection of their
   own: errors, the polls' median and 99th percentile, and the read's time
   (the job's started..finished) beside the unloaded one's.

The polls' times are the client's, Python threads included: an upper bound
of the service's."""

import http.client
import json
import os
import pathlib
import re
import signal
import statistics
import subprocess
import sys
import threading
import time
from datetime import datetime

SOURCE = pathlib.Path(__file__).resolve().parents[1]


def seconds_between(started, finished):
    parse = lambda text: datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%fZ")  # noqa: E731
    return (parse(finished) - parse(started)).total_seconds()


def main():
    build = pathlib.Path(sys.argv[1]).resolve()
    baud = int(sys.argv[2]) if len(sys.argv) > 2 else 115200
    goods = int(sys.argv[3]) if len(sys.argv) > 3 else 4000
    clients = int(sys.argv[4]) if len(sys.argv) > 4 else 200
    work = pathlib.Path(os.environ.get("TMPDIR", "/tmp")) / f"zarvik12m-bench-server-{os.getpid()}"
    work.mkdir(parents=True)

    emulator = subprocess.Popen([build / "bin" / "zarvik12m-emulator", "--generate", str(goods), "--baud", str(baud)],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    path = emulator.stdout.readline().decode().strip()
    server = None
    try:
        os.environ["ZARVIK12M_LIBRARY"] = str(build / "lib" / "libzarvik12m-c.so.1")
        sys.path.insert(0, str(SOURCE / "python"))
        import zarvik12m  # noqa: E402

        started = time.perf_counter()
        direct = zarvik12m.Register(path, baud=baud).load_goods()
        direct_time = time.perf_counter() - started
        assert len(direct) == goods

        server = subprocess.Popen([build / "bin" / "zarvik12m-server", "--listen", "127.0.0.1:0", "--state-dir",
                                   str(work / "state"), "--register", f"kkm={path},baud={baud}"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        while True:
            line = server.stderr.readline().decode()
            found = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
            if found:
                port = int(found.group(1))
                break
        threading.Thread(target=lambda: [None for _ in server.stderr], daemon=True).start()

        def get(connection, target):
            connection.request("GET", target)
            answer = connection.getresponse()
            return answer.status, answer.read()

        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=600)
        started = time.perf_counter()
        status, body = get(connection, "/api/v1/registers/kkm/goods?wait=300")
        http_time = time.perf_counter() - started
        assert status == 200 and len(json.loads(body)["goods"]) == goods
        unloaded = json.loads(get(connection, f"/api/v1/jobs/{json.loads(body)['job']}")[1])
        unloaded_read = seconds_between(unloaded["started"], unloaded["finished"])
        print(f"{goods} goods at {baud} baud: direct {direct_time:.3f} s, HTTP {http_time:.3f} s, "
              f"ratio {http_time / direct_time:.3f}")

        job = json.loads(get(connection, "/api/v1/registers/kkm/goods?wait=0")[1])["id"]
        latencies, errors, done = [], [], threading.Event()
        lock = threading.Lock()

        def poll():
            own = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
            mine = []
            try:
                while not done.is_set():
                    asked = time.perf_counter()
                    status, body = get(own, f"/api/v1/jobs/{job}")
                    mine.append(time.perf_counter() - asked)
                    if status != 200:
                        with lock:
                            errors.append(status)
                    elif json.loads(body)["state"] in ("succeeded", "failed", "cancelled"):
                        done.set()
                    time.sleep(0.1)
            except Exception as failure:  # noqa: BLE001 - every failure counts
                with lock:
                    errors.append(repr(failure))
            with lock:
                latencies.extend(mine)

        threads = [threading.Thread(target=poll) for _ in range(clients)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        # A fresh connection: the first one has idled past the read time-out.
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=600)
        loaded = json.loads(get(connection, f"/api/v1/jobs/{job}")[1])
        loaded_read = seconds_between(loaded["started"], loaded["finished"])
        latencies.sort()
        p99 = latencies[int(len(latencies) * 0.99) - 1] * 1000
        print(f"{clients} clients polling: {len(latencies)} polls, {len(errors)} errors, "
              f"median {statistics.median(latencies) * 1000:.1f} ms, p99 {p99:.1f} ms; "
              f"read {loaded_read:.3f} s against {unloaded_read:.3f} s unloaded "
              f"({(loaded_read / unloaded_read - 1) * 100:+.1f} %), state {loaded['state']}")
    finally:
        if server is not None:
            server.send_signal(signal.SIGTERM)
            server.wait(timeout=60)
        emulator.send_signal(signal.SIGINT)
        emulator.wait(timeout=60)


if __name__ == "__main__":
    main()
