"""zarvik12m-server end to end: tables kept from reads, and put back."""

from conftest import SAMPLE_GOODS


def test_reads_are_kept_as_snapshots_that_survive_a_restart_and_restore_a_table(tmp_path, emulator, server):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    state = tmp_path / "kept"
    service = server("--register", f"kkm={kkm.path},baud=115200", state=state)
    assert service.request("GET", "/api/v1/registers/kkm/snapshots").json() == {"snapshots": []}
    original = service.request("GET", "/api/v1/registers/kkm/goods").json()

    # A bad write: every price 1.
    bad = [dict(item, price="1") for item in original["goods"]][:30]
    assert service.request("PUT", "/api/v1/registers/kkm/goods", {"goods": bad}).status == 200
    after = service.request("GET", "/api/v1/registers/kkm/goods").json()
    assert after["goods"][0]["price"] == "1.00" and after["goods"] != original["goods"]

    snapshots = service.request("GET", "/api/v1/registers/kkm/snapshots").json()["snapshots"]
    assert [(s["id"], s["count"]) for s in snapshots] == [(after["job"], 36), (original["job"], 36)]
    assert snapshots[0]["created"] >= snapshots[1]["created"]
    service.kill()

    again = server("--register", f"kkm={kkm.path},baud=115200", state=state)
    assert again.request("GET", "/api/v1/registers/kkm/snapshots").json()["snapshots"] == snapshots
    kept = again.request("GET", f"/api/v1/registers/kkm/snapshots/{original['job']}").json()
    assert kept == {"id": original["job"], "created": snapshots[1]["created"], "goods": original["goods"]}

    restored = again.request("POST", f"/api/v1/registers/kkm/snapshots/{original['job']}/restore",
                             headers={"Idempotency-Key": "restore-1"})
    assert restored.status == 200, restored.body
    assert restored.json()["written"] == 36
    repeated = again.request("POST", f"/api/v1/registers/kkm/snapshots/{original['job']}/restore",
                             headers={"Idempotency-Key": "restore-1"})
    assert repeated.json()["job"] == restored.json()["job"]
    assert again.request("GET", "/api/v1/registers/kkm/goods").json()["goods"] == original["goods"]

    assert again.request("GET", "/api/v1/registers/kkm/snapshots/00aa").status == 404
    assert again.request("POST", "/api/v1/registers/kkm/snapshots/00aa/restore").status == 404
    assert again.request("GET", "/api/v1/registers/kkm/snapshots/../../jobs").status == 404
    assert again.request("DELETE", f"/api/v1/registers/kkm/snapshots/{original['job']}").status == 405


def test_only_the_last_20_reads_are_kept(tmp_path, emulator, server):
    kkm = emulator("kkm", "--generate", "2")
    service = server("--register", f"kkm={kkm.path},baud=115200")
    jobs = [service.request("GET", "/api/v1/registers/kkm/goods").json()["job"] for _ in range(22)]
    snapshots = service.request("GET", "/api/v1/registers/kkm/snapshots").json()["snapshots"]
    assert [s["id"] for s in snapshots] == jobs[::-1][:20]
    files = sorted(p.stem for p in (service.state / "snapshots" / "kkm").iterdir())
    assert files == sorted(jobs[2:])
