"""The web console end to end: a real headless Chromium against the
service and the emulator."""

import csv
import io
import urllib.request

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from conftest import SAMPLE_GOODS, screenshot_folder
from console_page import GoodsPage, goods_csv, saved_table

SCRIPT_NAME = "<img src=x onerror=alert(1)>"


def sample_rows():
    rows = []
    for line in SAMPLE_GOODS.read_text(encoding="cp1251").splitlines():
        if line.strip():
            code, barcode, price, name, group, quantity = (f.strip() for f in line.split(";", 5))
            rows.append([code, barcode, price, name, group, quantity])
    return rows


def test_registers_token_and_reading_the_table(tmp_path, emulator, server, browser):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    token = tmp_path / "token"
    token.write_text("s3cret-token\n")
    service = server("--register", f"kkm={kkm.path},baud=115200", "--token-file", str(token))

    # The page and its files are served without the token, with the policy
    # that forbids any script but the console's own.
    with urllib.request.urlopen(f"http://127.0.0.1:{service.port}/") as page:
        assert page.headers["Content-Type"].startswith("text/html")
        policy = page.headers["Content-Security-Policy"]
        assert "script-src 'self'" in policy and "frame-ancestors 'none'" in policy
    with urllib.request.urlopen(f"http://127.0.0.1:{service.port}/console/js/main.js") as script:
        assert script.headers["Content-Type"].startswith("text/javascript")
        assert script.headers["X-Content-Type-Options"] == "nosniff"

    # The token is asked once and kept for the session.
    browser.get(f"http://127.0.0.1:{service.port}/")
    goods = GoodsPage(browser, service)
    field = goods.until(lambda d: (lambda f: f if f.is_displayed() else None)(d.find_element(By.ID, "token-input")))
    field.send_keys("wrong", Keys.ENTER)
    goods.until(lambda d: "не приняла" in d.find_element(By.ID, "token-hint").text)
    field.send_keys("s3cret-token", Keys.ENTER)
    goods.until(lambda d: "12000001" in d.find_element(By.CSS_SELECTOR, "#registers tr[data-register='kkm']").text)
    browser.find_element(By.LINK_TEXT, "kkm").click()
    goods.until(lambda d: d.find_elements(By.ID, "goods"))
    assert not browser.find_element(By.ID, "token-input").is_displayed()

    goods.read(36)
    assert goods.value(1, "name") == "Хлеб Бородинский"
    assert goods.value(1, "price") == "52.00"
    assert "Товаров: 36" in browser.find_element(By.ID, "counts").text

    # Search and sorting.
    search = browser.find_element(By.ID, "goods-search")
    search.send_keys("Бородинский")
    goods.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#goods tbody tr")) == 1)
    search.clear()
    search.send_keys(" ", Keys.BACKSPACE)
    goods.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#goods tbody tr")) == 36)
    browser.find_element(By.CSS_SELECTOR, "th[data-field='price'] button").click()
    prices = [float(td.text) for td in browser.find_elements(By.CSS_SELECTOR, "#goods td[data-field='price'] .value")]
    assert prices == sorted(prices)

    # The table saved as the Python command line's CSV.
    goods.click("Экспорт CSV")
    saved = browser.downloads / "goods-kkm.csv"
    goods.until(lambda d: saved.exists() and saved.stat().st_size > 0)
    exported = list(csv.reader(io.StringIO(saved.read_bytes().decode("utf-8"), newline=""), delimiter=";"))
    assert exported[0] == ["code", "barcode", "price", "name", "group", "quantity"]
    assert exported[1] == ["1", "4607010079192", "52.00", "Хлеб Бородинский", "1", "24.000"]
    assert len(exported) == 37
    assert saved.read_bytes().count(b"\r\n") == 37

    # The read is in the history; no policy was broken on the way.
    goods.until(lambda d: "Чтение" in d.find_element(By.ID, "history").text)
    browser.find_element(By.CSS_SELECTOR, "th[data-field='code'] button").click()
    browser.save_screenshot(str(screenshot_folder() / "console.png"))
    assert goods.policy_violations() == []


def test_change_a_price_with_the_checks_as_typed_and_write_it(emulator, server, browser):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")
    goods = GoodsPage(browser, service).open()
    goods.read(36)

    # Tab goes from cell to cell; Enter edits; Escape gives the cell back.
    goods.cell(2, "barcode").click()
    browser.switch_to.active_element.send_keys(Keys.TAB)
    assert browser.switch_to.active_element.get_attribute("data-field") == "price"
    name = goods.edit(2, "name")
    name.send_keys(Keys.CONTROL, "a")
    name.send_keys("Другое")
    name.send_keys(Keys.ESCAPE)
    assert goods.value(2, "name") == "Батон нарезной"

    price = goods.edit(1, "price")
    price.send_keys(Keys.CONTROL, "a")
    price.send_keys("55.50")
    goods.until(lambda d: "копеек" in goods.cell(1, "price").text)
    assert not goods.write_enabled()
    price.send_keys(Keys.BACKSPACE * 3)
    price.send_keys(Keys.ENTER)
    goods.until(lambda d: "bad" not in goods.cell(1, "price").get_attribute("class"))
    assert goods.value(1, "price") == "55"
    assert "changed" in goods.cell(1, "price").get_attribute("class")
    assert "изменено: 1" in browser.find_element(By.ID, "difference-counts").text

    goods.click("Записать в ККМ")
    goods.wait_status("Записано в ККМ товаров: 36.")
    table = saved_table(kkm)
    assert table[1][3] == "Хлеб Бородинский" and table[1][2] == "55.00"
    assert table[2][2] == "45.00"


def test_a_file_with_a_bad_row_is_marked_and_nothing_is_sent(tmp_path, emulator, server, browser):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")
    rows = sample_rows()
    rows[4][2] = "12.50"  # the register keeps whole prices only
    rows[6][3] = SCRIPT_NAME  # too long, and shown as the characters it is
    path = tmp_path / "prices.csv"
    path.write_text(goods_csv(rows), encoding="utf-8")

    goods = GoodsPage(browser, service).open()
    goods.import_file(path)  # the register's table is read first
    goods.until(lambda d: "bad" in goods.row(5).get_attribute("class"))
    assert "копеек" in goods.cell(5, "price").text
    assert goods.value(7, "name") == SCRIPT_NAME
    assert "длиннее 16" in goods.cell(7, "name").text
    assert not browser.find_elements(By.CSS_SELECTOR, "#goods img")
    assert goods.no_alert()
    assert goods.policy_violations() == []
    assert not goods.write_enabled()
    assert "Ошибки: 2" in browser.find_element(By.ID, "problems").text

    kinds = {job["kind"] for job in service.request("GET", "/api/v1/jobs?register=kkm").json()["jobs"]}
    assert "write" not in kinds
    assert saved_table(kkm)[5][2] == "112.00"


def test_a_windows_1251_file_is_shown_as_a_difference_and_written(tmp_path, emulator, server, browser):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")
    rows = sample_rows()
    rows[1][2] = "47"
    rows.append(["37", "4600000000370", "99", "Квас Очаковский", "3", "12"])
    path = tmp_path / "prices.csv"
    path.write_bytes(goods_csv(rows).encode("cp1251"))

    goods = GoodsPage(browser, service).open()
    goods.read(36)
    goods.import_file(path)
    goods.until(lambda d: d.find_elements(By.ID, "difference-counts"))
    assert browser.find_element(By.ID, "difference-counts").text == "Добавлено: 1, изменено: 1, удалено: 0"
    assert "Квас Очаковский" in browser.find_element(By.ID, "difference").text
    assert "added" in goods.row(37).get_attribute("class")
    assert "changed" in goods.cell(2, "price").get_attribute("class")

    goods.click("Записать в ККМ")
    goods.wait_status("Записано в ККМ товаров: 37.")
    table = saved_table(kkm)
    assert len(table) == 37
    assert table[37][3] == "Квас Очаковский" and table[2][2] == "47.00"


def test_a_write_of_4000_goods_is_stopped_midway(tmp_path, emulator, server, browser):
    kkm = emulator("kkm", "--delay", "5")
    service = server("--register", f"kkm={kkm.path},baud=115200")
    rows = [[code, "", code % 1000, f"Товар {code}", code % 10, "1.5"] for code in range(1, 4001)]
    path = tmp_path / "big.csv"
    path.write_text(goods_csv(rows), encoding="utf-8")

    goods = GoodsPage(browser, service).open()
    goods.import_file(path)
    goods.until(lambda d: "Добавлено: 4000" in d.find_element(By.ID, "difference").text)
    goods.click("Записать в ККМ")
    goods.until(lambda d: (goods.progress() or 0) >= 20)
    goods.click("Остановить")
    message = goods.wait_status("Запись остановлена на товаре")
    assert "из 4000" in message and "прочитайте её" in message
    jobs = service.request("GET", "/api/v1/jobs?register=kkm").json()["jobs"]
    assert jobs[0]["kind"] == "write" and jobs[0]["state"] == "cancelled"
    assert 20 <= jobs[0]["position"] < 4000
    assert len(saved_table(kkm)) < 4000


def test_clearing_asks_for_the_factory_number(emulator, server, browser):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")
    goods = GoodsPage(browser, service).open()
    goods.read(36)

    goods.click("Очистить ККМ")
    serial = goods.until(lambda d: (lambda f: f if f.is_displayed() else None)(d.find_element(By.ID, "clear-input")))
    confirm = browser.find_element(By.ID, "clear-confirm")
    serial.send_keys("12000002")
    assert not confirm.is_enabled()
    serial.send_keys(Keys.BACKSPACE, "1")
    goods.until(lambda d: confirm.is_enabled())
    confirm.click()
    goods.wait_status("ККМ очищена")
    assert "Товаров: 0" in browser.find_element(By.ID, "counts").text
    assert saved_table(kkm) == {}


def test_the_page_at_a_phone_width(emulator, server, browser):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")
    browser.set_window_size(390, 844)
    goods = GoodsPage(browser, service).open()
    goods.read(36)
    # The page itself does not scroll sideways: the table scrolls in its box.
    assert browser.execute_script("return document.documentElement.scrollWidth <= window.innerWidth")
    assert goods.button("Записать в ККМ").is_displayed()


def test_rows_deleted_and_added_keep_the_codes_whole(emulator, server, browser):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")
    goods = GoodsPage(browser, service).open()
    goods.read(36)

    # A row taken out of the middle leaves a gap the register cannot keep.
    goods.row(2).find_element(By.CSS_SELECTOR, "button.remove").click()
    goods.until(lambda d: "пропуск" in goods.cell(36, "code").text)
    assert not goods.write_enabled()
    assert "удалено: 1" in browser.find_element(By.ID, "difference-counts").text
    goods.click("Отменить изменения")
    goods.until(lambda d: goods.write_enabled())
    assert goods.value(2, "name") == "Батон нарезной"

    goods.click("Добавить строку")
    name = goods.until(lambda d: goods.cell(37, "name").find_element(By.CSS_SELECTOR, "input"))
    name.send_keys("Квас хлебный", Keys.ENTER)
    price = goods.edit(37, "price")
    price.send_keys(Keys.CONTROL, "a")
    price.send_keys("60", Keys.ENTER)
    goods.until(lambda d: "added" in goods.row(37).get_attribute("class"))
    assert goods.write_enabled()
    goods.click("Записать в ККМ")
    goods.wait_status("Записано в ККМ товаров: 37.")
    table = saved_table(kkm)
    assert table[37][3] == "Квас хлебный" and table[37][2] == "60.00"
    assert "Эта служба не хранит снимков" in browser.find_element(By.ID, "snapshots").text or \
        browser.find_elements(By.CSS_SELECTOR, "#snapshots li")


def test_a_plu_file_dropped_on_the_page(emulator, server, browser):
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    service = server("--register", f"kkm={kkm.path},baud=115200")
    goods = GoodsPage(browser, service).open()
    goods.read(36)

    # The utility's file, Windows-1251, with one name changed and the last
    # entry left out.
    lines = SAMPLE_GOODS.read_bytes().split(b"\r\n")
    lines = [line for line in lines if line.strip()][:35]
    lines[2] = lines[2].replace("Молоко".encode("cp1251"), "Кефир ".encode("cp1251"))
    data = list(b"\r\n".join(lines) + b"\r\n")
    browser.execute_script(
        """
        const file = new File([new Uint8Array(arguments[0])], "plu.txt");
        const transfer = new DataTransfer();
        transfer.items.add(file);
        const zone = document.querySelector(".drop-zone");
        zone.dispatchEvent(new DragEvent("dragover", {dataTransfer: transfer, bubbles: true, cancelable: true}));
        zone.dispatchEvent(new DragEvent("drop", {dataTransfer: transfer, bubbles: true, cancelable: true}));
        """,
        data,
    )
    goods.until(lambda d: d.find_elements(By.ID, "difference-counts"))
    assert browser.find_element(By.ID, "difference-counts").text == "Добавлено: 0, изменено: 1, удалено: 1"
    assert goods.value(3, "name") == "Кефир  3,2% 1л"
    assert "changed" in goods.cell(3, "name").get_attribute("class")
    assert goods.write_enabled()
