"""zarvik12m-server end to end: the Prometheus metrics."""

import re


def metrics(service):
    answer = service.request("GET", "/metrics")
    assert answer.status == 200
    assert answer.headers["Content-Type"].startswith("text/plain; version=0.0.4")
    values = {}
    for line in answer.body.decode().splitlines():
        if line.startswith("#"):
            assert re.match(r"# (HELP|TYPE) zarvik12m_\w+ ", line), line
            continue
        name, value = line.rsplit(" ", 1)
        values[name] = float(value)
    return values


def test_metrics_count_jobs_driver_errors_and_entries(tmp_path, emulator, server):
    kkm = emulator("kkm", "--generate", "25")
    token = tmp_path / "token"
    token.write_text("m3trics\n")
    service = server("--register", f"kkm={kkm.path},baud=115200",
                     "--register", f"gone={tmp_path / 'no-such-device'}", "--token-file", str(token))
    assert service.request("GET", "/metrics").status == 401
    service.token = "m3trics"
    before = metrics(service)
    assert before['zarvik12m_jobs_finished_total{kind="read",state="succeeded"}'] == 0
    assert before['zarvik12m_jobs{register="kkm",state="running"}'] == 0

    goods = service.request("GET", "/api/v1/registers/kkm/goods").json()["goods"]
    assert service.request("PUT", "/api/v1/registers/kkm/goods", {"goods": goods[:10]}).status == 200
    failed = service.request("GET", "/api/v1/registers/gone/goods")
    assert failed.status == 502
    code = failed.json()["error"]["code"]

    after = metrics(service)
    assert after['zarvik12m_jobs_finished_total{kind="read",state="succeeded"}'] == 1
    assert after['zarvik12m_jobs_finished_total{kind="read",state="failed"}'] == 1
    assert after['zarvik12m_jobs_finished_total{kind="write",state="succeeded"}'] == 1
    assert after[f'zarvik12m_driver_errors_total{{code="{code}"}}'] == 1
    assert after['zarvik12m_driver_calls_total{register="kkm"}'] == 2
    assert after['zarvik12m_driver_calls_total{register="gone"}'] == 1
    assert after['zarvik12m_goods_entries_total{register="kkm",direction="read"}'] == 25
    assert after['zarvik12m_goods_entries_total{register="kkm",direction="written"}'] == 10
    assert after['zarvik12m_driver_seconds_total{register="kkm"}'] > 0
