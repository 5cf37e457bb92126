"""The search for registers (POST /api/v1/detect) against emulated ones."""


def test_the_search_finds_a_register_at_its_speed_and_leaves_configured_lines_alone(emulator, server):
    configured = emulator("kkm")
    loose = emulator("loose", "--net", "5", "--line-baud", "19200", "--serial", "77000005")
    service = server("--register", f"kkm={configured.path}")

    answer = service.request("POST", "/api/v1/detect", {"devices": [configured.path, loose.path], "net": [5]})
    assert answer.status == 200, answer.body
    result = answer.json()
    assert result["found"] == [
        {"port": loose.path, "baud": 19200, "net": 5, "serialNumber": "77000005", "deviceName": ""}
    ]
    states = {device["device"]: device["state"] for device in result["devices"]}
    assert states == {configured.path: "in use", loose.path: "probed"}
    # The configured register's line saw nothing of the search.
    assert configured.frames() == ""
    # The register found is usable at once by what the search said.
    service.stop()
    again = server("--register", f"found={loose.path},baud=19200,net=5")
    detail = again.request("GET", "/api/v1/registers/found").json()
    assert detail["properties"]["serialNumber"] == "77000005"


def test_a_search_request_is_checked_before_any_device_is_opened(emulator, server):
    kkm = emulator("kkm")
    service = server("--register", "kkm=3")
    for body, wrong in [
        ({"baud": [10]}, "baud"),
        ({"net": [0]}, "net"),
        ({"devices": "/dev/ttyS0"}, "devices"),
        ({"devices": [""]}, "devices"),
        ([kkm.path], "JSON"),
    ]:
        answer = service.request("POST", "/api/v1/detect", body)
        assert answer.status == 400, (body, answer.body)
        assert wrong in answer.json()["error"]["message"]
    assert service.request("GET", "/api/v1/detect").status == 405
    assert kkm.frames() == ""
