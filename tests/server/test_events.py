"""zarvik12m-server end to end: a job's progress as Server-Sent Events."""

from conftest import SAMPLE_GOODS


def test_a_4000_goods_read_streams_its_progress_and_ends_with_the_job(tmp_path, emulator, server):
    kkm = emulator("kkm", "--generate", "4000")
    token = tmp_path / "token"
    token.write_text("ev3nt-token\n")
    service = server("--register", f"kkm={kkm.path},baud=115200", "--token-file", str(token))
    service.token = "ev3nt-token"
    job = service.request("GET", "/api/v1/registers/kkm/goods?wait=0").json()
    service.token = None

    # An EventSource sends no headers: the token goes in the query, on this
    # endpoint only, and the request log does not keep it.
    status, _, body = service.events(f"/api/v1/jobs/{job['id']}/events")
    assert status == 401
    assert service.request("GET", "/api/v1/registers?access_token=ev3nt-token").status == 401
    status, headers, events = service.events(f"/api/v1/jobs/{job['id']}/events?access_token=ev3nt-token")
    assert status == 200
    assert headers["Content-Type"].startswith("text/event-stream")

    names = [name for name, _ in events]
    assert names[-1] == "end" and names.count("end") == 1
    assert set(names[:-1]) == {"progress"}
    progress = [data for _, data in events[:-1]]
    assert all(set(data) == {"id", "state", "position", "max"} and data["id"] == job["id"] for data in progress)
    # Several steps on the way, in order, never backwards.
    running = [data["position"] for data in progress if data["state"] == "running"]
    assert len(running) >= 3
    assert running == sorted(running) and running[-1] <= 4000
    end = events[-1][1]
    assert end["state"] == "succeeded" and len(end["result"]["goods"]) == 4000
    service.token = "ev3nt-token"
    assert end == service.request("GET", f"/api/v1/jobs/{job['id']}").json()

    # A job already ended sends its end only; an unknown one is 404.
    status, _, again = service.events(f"/api/v1/jobs/{job['id']}/events",
                                      headers={"Authorization": "Bearer ev3nt-token"})
    assert status == 200 and again == [("end", end)]
    status, _, _ = service.events("/api/v1/jobs/00ff/events", headers={"Authorization": "Bearer ev3nt-token"})
    assert status == 404
    assert service.stop() == 0
    assert f"/api/v1/jobs/{job['id']}/events?access_token=*** 200" in service.log_text()
    assert "ev3nt-token" not in service.log_text()


def test_a_cancelled_queued_job_ends_its_stream(emulator, server):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS), "--delay", "20")
    service = server("--register", f"kkm={kkm.path},baud=115200")
    first = service.request("GET", "/api/v1/registers/kkm/goods?wait=0").json()
    queued = service.request("DELETE", "/api/v1/registers/kkm/goods?wait=0").json()
    assert service.request("DELETE", f"/api/v1/jobs/{queued['id']}").status == 200
    _, _, events = service.events(f"/api/v1/jobs/{queued['id']}/events")
    assert [name for name, _ in events] == ["end"]
    assert events[0][1]["state"] == "cancelled"
    _, _, events = service.events(f"/api/v1/jobs/{first['id']}/events")
    assert events[-1][1]["state"] == "succeeded"
