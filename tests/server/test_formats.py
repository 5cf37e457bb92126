"""zarvik12m-server end to end: tables as CSV and as Zarvik12mPLU's file,
the check without a register, the rules."""

import os
import subprocess

from conftest import SAMPLE_GOODS

PLU = {"Content-Type": "application/x-zarvik12m-plu"}


def test_a_4000_goods_read_as_a_plu_file_is_byte_for_byte_what_the_utility_writes(tmp_path, emulator, server):
    kkm = emulator("kkm", "--generate", "4000")
    environment = dict(os.environ, ZARVIK12M_COM1=kkm.path)
    utility = subprocess.run([os.environ["ZARVIK12M_UTILITY"], "/p1", "/b115200", "/n1", "/s59", "/lutility.txt"],
                             cwd=tmp_path, env=environment, capture_output=True, timeout=120)
    assert utility.returncode == 0, utility.stderr
    expected = (tmp_path / "utility.txt").read_bytes()
    assert expected.count(b"\r\n") == 4000

    service = server("--register", f"kkm={kkm.path},baud=115200")
    answer = service.request("GET", "/api/v1/registers/kkm/goods?format=plu")
    assert answer.status == 200
    assert answer.headers["Content-Type"] == "application/x-zarvik12m-plu; charset=windows-1251"
    assert answer.body == expected

    # Written back as it came, the table reads back the same.
    assert service.request("PUT", "/api/v1/registers/kkm/goods?format=plu", answer.body).status == 200
    assert service.request("GET", "/api/v1/registers/kkm/goods?format=plu").body == expected


def test_csv_and_plu_in_and_out(emulator, server):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")
    table = service.request("GET", "/api/v1/registers/kkm/goods").json()["goods"]

    csv = service.request("GET", "/api/v1/registers/kkm/goods", headers={"Accept": "text/csv"})
    assert csv.status == 200 and csv.headers["Content-Type"] == "text/csv; charset=utf-8"
    lines = csv.body.decode("utf-8").split("\r\n")
    assert lines[0] == "code;barcode;price;name;group;quantity"
    assert lines[1] == "1;4607010079192;52.00;Хлеб Бородинский;1;24.000"
    assert len(lines) == 38 and lines[-1] == ""
    assert service.request("GET", "/api/v1/registers/kkm/goods?format=plu").body == SAMPLE_GOODS.read_bytes()

    def check(body, content_type):
        answer = service.request("POST", "/api/v1/goods/check", body, headers={"Content-Type": content_type})
        return answer.status, answer.json()

    # The CSV read, in either charset, with or without its name, with a
    # byte-order mark: the same table (the CSV leaves out the blanks that
    # right-align short bar codes; the register puts them back).
    def aligned(goods):
        return [dict(item, barcode=item["barcode"].rjust(13)) for item in goods]

    for body, content_type in (
        (csv.body, "text/csv"),
        (b"\xef\xbb\xbf" + csv.body, "text/csv; charset=utf-8"),
        (csv.body.decode("utf-8").encode("cp1251"), "text/csv"),
        (csv.body.decode("utf-8").encode("cp1251"), "text/csv; charset=windows-1251"),
        (SAMPLE_GOODS.read_bytes(), "application/x-zarvik12m-plu"),
        (SAMPLE_GOODS.read_text(encoding="cp1251").encode("utf-8"), "application/x-zarvik12m-plu"),
    ):
        status, checked = check(body, content_type)
        assert status == 200 and checked["problems"] == [], content_type
        assert aligned(checked["goods"]) == aligned(table), content_type

    # Columns in another order, quoted fields, a blank row at the end.
    status, checked = check('name;code;price;barcode;group;quantity\r\n"Чай ""Лесной""; 1";1;10;46;0;1.5\r\n;;;;;\r\n'
                            .encode(), "text/csv")
    assert status == 200 and checked["problems"] == []
    assert checked["goods"] == [{"code": 1, "barcode": "46", "price": "10.00", "name": 'Чай "Лесной"; 1', "group": 0,
                                 "quantity": "1.500"}]
    # The PLU file cannot carry that name back: refused, CSV suggested.
    assert service.request("PUT", "/api/v1/registers/kkm/goods", 'name;code;price;barcode;group;quantity\r\n'
                           '"Чай; 1";1;10;46;0;1.5\r\n'.encode(), {"Content-Type": "text/csv"}).status == 200
    refused = service.request("GET", "/api/v1/registers/kkm/goods?format=plu")
    assert refused.status == 406 and "CSV" in refused.json()["error"]["message"]

    # Rows the register cannot keep: every problem, by row; nothing sent.
    frames = kkm.frames()
    status, checked = check(b"code;barcode;price;name;group;quantity\r\n1;;45.50;A;1;1\r\n3;;x;B;300;1\r\n",
                            "text/csv")
    assert status == 200
    assert {(p["row"], p["field"]) for p in checked["problems"]} >= {(1, "price"), (2, "price"), (2, "group")}
    refused = service.request("PUT", "/api/v1/registers/kkm/goods",
                              b"   1;;      45.50;A; 1;1.000\r\n", PLU)
    assert refused.status == 422 and [(p["row"], p["field"]) for p in refused.json()["problems"]] == [(1, "price")]
    assert kkm.frames() == frames

    # Malformed bodies: 400 naming the line.
    for body, content_type, where in (
        (b"code;barcode;price;name;group\r\n", "text/csv", "строка 1"),
        (b"code;barcode;price;name;group;quantity\r\n1;;1;\"A;1;1\r\n", "text/csv", "строка 2"),
        (b"code;barcode;price;name;group;quantity\r\n1;;1;A;1;1\r\n2;;1;B;1\r\n", "text/csv", "строка 3"),
        (b"code;barcode;price;name;group;quantity\r\n1;;1;\xd0\x90\xff;1;1\r\n", "text/csv; charset=utf-8",
         "строка 2"),
        (b"   1;;1;A;1;1\r\n\r\n   2;;1;B\r\n", "application/x-zarvik12m-plu", "строка 3"),
        (b'{"goods": [', "application/json", "байт 12"),
    ):
        answer = service.request("POST", "/api/v1/goods/check", body, headers={"Content-Type": content_type})
        assert answer.status == 400 and where in answer.json()["error"]["message"], (body, answer.body)
    assert service.request("POST", "/api/v1/goods/check", b"x", headers={"Content-Type": "text/xml"}).status == 415
    assert kkm.frames() == frames


def test_the_rules_name_every_character_a_name_may_hold(emulator, server):
    kkm = emulator("kkm", "--generate", "1")
    service = server("--register", f"kkm={kkm.path},baud=115200")
    rules = service.request("GET", "/api/v1/goods/rules").json()
    assert {key: value for key, value in rules.items() if key != "nameCharacters"} == {
        "maxGoods": 4000, "nameLength": 16, "barcodeLength": 13, "priceMax": "4294967295",
        "quantityMax": "4294967.295", "quantityDecimals": 3, "groupMax": 255}
    characters = rules["nameCharacters"]
    assert "А" in characters and "я" in characters and "Ё" in characters and "ё" in characters and " " in characters
    assert "№" not in characters and "\n" not in characters and "\x7f" not in characters
    # The check agrees with the list, character by character.
    goods = [{"code": 1, "barcode": "", "price": "1", "name": c, "group": 0, "quantity": "0"}
             for c in ("№", "€", "»", characters[0], characters[-1])]
    for item in goods:
        checked = service.request("POST", "/api/v1/goods/check", [item]).json()
        assert (checked["problems"] == []) == (item["name"] in characters), item["name"]
