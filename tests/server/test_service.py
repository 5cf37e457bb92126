"""zarvik12m-server end to end: the API against emulated registers."""

import json
import socket
import time

from conftest import SAMPLE_GOODS


def wait_for_state(server, job_id, states, limit=60):
    deadline = time.monotonic() + limit
    while True:
        job = server.request("GET", f"/api/v1/jobs/{job_id}").json()
        if job["state"] in states or time.monotonic() > deadline:
            return job
        time.sleep(0.05)


def test_read_change_write_and_clear_a_table(emulator, server):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")

    registers = service.request("GET", "/api/v1/registers").json()["registers"]
    assert registers == [{"id": "kkm", "port": kkm.path, "baud": 115200, "net": 1, "state": "idle", "queued": 0}]
    detail = service.request("GET", "/api/v1/registers/kkm").json()
    assert detail["properties"]["serialNumber"] == "12000001"
    assert detail["properties"]["maxGoods"] == 4000

    read = service.request("GET", "/api/v1/registers/kkm/goods")
    assert read.status == 200
    goods = read.json()["goods"]
    assert len(goods) == 36
    bread = next(item for item in goods if item["name"] == "Хлеб Бородинский")
    assert bread["price"] == "52.00" and bread["quantity"] == "24.000"

    bread["price"] = 55  # numbers are taken too
    written = service.request("PUT", "/api/v1/registers/kkm/goods", {"goods": goods})
    assert written.status == 200, written.body
    assert written.json()["written"] == 36
    again = service.request("GET", "/api/v1/registers/kkm/goods").json()["goods"]
    assert next(item for item in again if item["name"] == "Хлеб Бородинский")["price"] == "55.00"

    cleared = service.request("DELETE", "/api/v1/registers/kkm/goods")
    assert cleared.status == 200
    assert service.request("GET", "/api/v1/registers/kkm/goods").json()["goods"] == []

    kinds = [job["kind"] for job in service.request("GET", "/api/v1/jobs?register=kkm").json()["jobs"]]
    assert kinds == ["read", "clear", "read", "write", "read", "properties"]


def test_a_table_the_register_cannot_keep_is_refused_with_every_problem_and_nothing_sent(emulator, server):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")
    goods = [
        {"code": 1, "barcode": "4607010079192", "price": "45.50", "name": "Чай", "group": 1, "quantity": "1"},
        {"code": 2, "barcode": "", "price": "10", "name": "Чай №1", "group": 1, "quantity": "1"},
        {"code": 4, "barcode": "", "price": "-1", "name": "Сок", "group": 1, "quantity": "1.0005"},
        {"code": 5, "price": "x"},
    ]
    refused = service.request("PUT", "/api/v1/registers/kkm/goods", {"goods": goods})
    assert refused.status == 422
    problems = refused.json()["problems"]
    assert {(p["row"], p["field"]) for p in problems} >= {(4, "price")}
    # The JSON is sound apart from row 4: fixing it shows the rules' verdict.
    goods[3]["price"] = "1"
    refused = service.request("PUT", "/api/v1/registers/kkm/goods", {"goods": goods})
    assert refused.status == 422
    fields = {(p["row"], p["field"]) for p in refused.json()["problems"]}
    assert {(1, "price"), (2, "name"), (3, "price"), (3, "quantity")} <= fields
    assert any(p["field"] == "code" for p in refused.json()["problems"])  # the gap: 1, 2, 4, 5
    assert all(p["message"].startswith("Товар ") for p in refused.json()["problems"])

    bad_json = service.request("PUT", "/api/v1/registers/kkm/goods", b'{"goods": [1,')
    assert bad_json.status == 400
    assert "байт" in bad_json.json()["error"]["message"]
    # A body over 8 MB is refused from its announced length, before it is read.
    with socket.create_connection(("127.0.0.1", service.port), timeout=30) as raw:
        raw.sendall(b"PUT /api/v1/registers/kkm/goods HTTP/1.1\r\nHost: x\r\n"
                    b"Content-Type: application/json\r\nContent-Length: 8388700\r\n\r\n")
        assert raw.recv(4096).startswith(b"HTTP/1.1 413 ")

    assert kkm.frames() == ""
    assert service.request("GET", "/api/v1/jobs").json()["jobs"] == []


def test_a_repeated_idempotency_key_returns_the_same_job_and_runs_nothing_again(emulator, server):
    kkm = emulator("kkm", "--generate", "3")
    service = server("--register", f"kkm={kkm.path},baud=115200")
    first = service.request("DELETE", "/api/v1/registers/kkm/goods", headers={"Idempotency-Key": "clear-1"})
    second = service.request("DELETE", "/api/v1/registers/kkm/goods", headers={"Idempotency-Key": "clear-1"})
    assert first.status == second.status == 200
    assert first.json()["job"] == second.json()["job"]
    jobs = service.request("GET", "/api/v1/jobs").json()["jobs"]
    assert [job["kind"] for job in jobs] == ["clear"]
    assert kkm.frames().count("\n") == 2  # one command, one answer


def test_a_job_outlives_the_wait_and_can_be_cancelled(emulator, server):
    kkm = emulator("kkm", "--generate", "4000", "--delay", "20")
    service = server("--register", f"kkm={kkm.path},baud=115200")
    accepted = service.request("GET", "/api/v1/registers/kkm/goods?wait=0")
    assert accepted.status == 202
    job = accepted.json()
    assert accepted.headers["Location"] == f"/api/v1/jobs/{job['id']}"
    assert job["state"] in ("queued", "running")

    running = wait_for_state(service, job["id"], ("running",))
    assert running["state"] == "running"
    assert service.request("GET", "/api/v1/registers").json()["registers"][0]["state"] == "busy"
    deadline = time.monotonic() + 30
    while service.request("GET", f"/api/v1/jobs/{job['id']}").json()["position"] < 5:
        assert time.monotonic() < deadline
        time.sleep(0.05)
    assert service.request("DELETE", f"/api/v1/jobs/{job['id']}").status == 200
    cancelled = wait_for_state(service, job["id"], ("cancelled", "failed", "succeeded"))
    assert cancelled["state"] == "cancelled"
    assert cancelled["error"]["code"] == -300
    assert 5 <= cancelled["position"] < 4000


def test_a_restart_keeps_finished_jobs_and_reports_the_interrupted_one(tmp_path, emulator, server):
    kkm = emulator("kkm", "--generate", "4000", "--delay", "20")
    state = tmp_path / "kept"
    service = server("--register", f"kkm={kkm.path},baud=115200", state=state)
    done = service.request("GET", "/api/v1/registers/kkm?wait=30").json()
    assert done["properties"]["serialNumber"] == "12000001"
    finished = service.request("GET", "/api/v1/jobs").json()["jobs"][0]
    reading = service.request("GET", "/api/v1/registers/kkm/goods?wait=0").json()
    deadline = time.monotonic() + 30
    while service.request("GET", f"/api/v1/jobs/{reading['id']}").json()["position"] < 5:
        assert time.monotonic() < deadline
        time.sleep(0.05)
    # The record on disk follows the position within a monitor's round:
    # killed once it holds one, the service leaves a running job behind.
    record = state / "jobs" / f"{reading['id']}.json"
    while not (record.exists() and json.loads(record.read_text() or "{}").get("position", 0) >= 5):
        assert time.monotonic() < deadline
        time.sleep(0.05)
    service.kill()

    again = server("--register", f"kkm={kkm.path},baud=115200", state=state)
    kept = again.request("GET", f"/api/v1/jobs/{finished['id']}").json()
    assert kept["state"] == "succeeded"
    assert kept["result"]["serialNumber"] == "12000001"
    interrupted = again.request("GET", f"/api/v1/jobs/{reading['id']}").json()
    assert interrupted["state"] == "interrupted"
    assert interrupted["position"] >= 5


def test_registers_on_one_line_take_turns_and_two_lines_run_at_once(emulator, server):
    first = emulator("first", "--generate", "300", "--delay", "5")
    second = emulator("second", "--generate", "300", "--delay", "5")
    service = server(
        "--register", f"a={first.path},baud=115200",
        "--register", f"b={first.path},baud=115200",
        "--register", f"c={second.path},baud=115200",
    )
    a = service.request("GET", "/api/v1/registers/a/goods?wait=0").json()
    b = service.request("GET", "/api/v1/registers/b/goods?wait=0").json()
    c = service.request("GET", "/api/v1/registers/c/goods?wait=0").json()
    wait_for_state(service, a["id"], ("running",))
    wait_for_state(service, c["id"], ("running",))
    registers = service.request("GET", "/api/v1/registers").json()["registers"]
    states = {r["id"]: (r["state"], r["queued"]) for r in registers}
    assert states["a"] == ("busy", 0) and states["c"] == ("busy", 0)
    assert states["b"] == ("idle", 1)
    for job in (a, b, c):
        assert wait_for_state(service, job["id"], ("succeeded", "failed"))["state"] == "succeeded"
    jobs = {job["id"]: job for job in service.request("GET", "/api/v1/jobs").json()["jobs"]}
    assert jobs[b["id"]]["started"] >= jobs[a["id"]]["finished"]


def test_token_cors_and_loopback(tmp_path, emulator, server):
    kkm = emulator("kkm", "--generate", "1")
    token = tmp_path / "token"
    token.write_text("s3cret-token\n")
    service = server("--register", f"kkm={kkm.path},baud=115200", "--token-file", str(token),
                     "--allow-origin", "https://shop.example")
    assert service.request("GET", "/healthz").status == 200
    denied = service.request("GET", "/api/v1/registers")
    assert denied.status == 401 and denied.headers["WWW-Authenticate"] == "Bearer"
    assert service.request("GET", "/api/v1/registers", headers={"Authorization": "Bearer s3cret-tokex"}).status == 401
    service.token = "s3cret-token"
    allowed = service.request("GET", "/api/v1/registers", headers={"Origin": "https://shop.example"})
    assert allowed.status == 200
    assert allowed.headers["Access-Control-Allow-Origin"] == "https://shop.example"
    foreign = service.request("GET", "/api/v1/registers", headers={"Origin": "https://evil.example"})
    assert "Access-Control-Allow-Origin" not in foreign.headers

    preflight = service.request("OPTIONS", "/api/v1/registers/kkm/goods", headers={
        "Origin": "https://shop.example", "Access-Control-Request-Method": "PUT",
        "Access-Control-Request-Private-Network": "true"})
    assert preflight.status == 204
    assert preflight.headers["Access-Control-Allow-Private-Network"] == "true"
    assert "Idempotency-Key" in preflight.headers["Access-Control-Allow-Headers"]
    assert service.request("OPTIONS", "/api/v1/registers", headers={"Origin": "https://evil.example"}).status == 403

    assert service.request("GET", "/api/v1/registers/nope").status == 404
    assert service.request("GET", "/api/v1/jobs/0123").status == 404


def test_a_non_loopback_address_needs_a_token(tmp_path):
    import os
    import subprocess
    result = subprocess.run(
        [os.environ["ZARVIK12M_SERVER"], "--listen", "0.0.0.0:0", "--register", "kkm=1", "--state-dir", str(tmp_path)],
        capture_output=True, timeout=30)
    assert result.returncode == 2
    assert b"token" in result.stderr
