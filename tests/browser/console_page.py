"""Driving the console's goods page as a person does: buttons by their
text, cells by code and column, waits on what the page shows."""

import csv
import io

from selenium.common.exceptions import NoAlertPresentException
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

WAIT = 90


class GoodsPage:
    def __init__(self, driver, service, register="kkm"):
        self.driver = driver
        self.service = service
        self.register = register

    def open(self):
        self.driver.get(f"http://127.0.0.1:{self.service.port}/#/registers/{self.register}")
        self.until(lambda d: d.find_elements(By.ID, "goods"))
        return self

    def until(self, condition, timeout=WAIT):
        return WebDriverWait(self.driver, timeout).until(condition)

    def button(self, text):
        return self.driver.find_element(By.XPATH, f"//button[normalize-space()='{text}']")

    def click(self, text):
        button = self.until(lambda d: (lambda b: b if b.is_enabled() else None)(self.button(text)))
        button.click()

    def status(self):
        return self.driver.find_element(By.ID, "status").text

    def wait_status(self, text):
        self.until(lambda d: text in self.status())
        return self.status()

    def read(self, count):
        self.click("Прочитать из ККМ")
        self.wait_status(f"Прочитано товаров: {count}.")

    def row(self, code):
        return self.driver.find_element(By.CSS_SELECTOR, f"#goods tr[data-code='{code}']")

    def cell(self, code, field):
        return self.row(code).find_element(By.CSS_SELECTOR, f"td[data-field='{field}']")

    def value(self, code, field):
        return self.cell(code, field).find_element(By.CSS_SELECTOR, ".value").text

    def edit(self, code, field):
        """The cell's input, opened with Enter from the keyboard."""
        cell = self.cell(code, field)
        cell.send_keys(Keys.ENTER)
        return cell.find_element(By.CSS_SELECTOR, "input")

    def import_file(self, path):
        self.driver.find_element(By.ID, "import-file").send_keys(str(path))

    def write_enabled(self):
        return self.button("Записать в ККМ").is_enabled()

    def progress(self):
        return self.driver.execute_script("return document.getElementById('job-progress').value")

    def policy_violations(self):
        return [entry["message"] for entry in self.driver.get_log("browser")
                if "Content Security Policy" in entry["message"]]

    def no_alert(self):
        try:
            self.driver.switch_to.alert
        except NoAlertPresentException:
            return True
        return False


def goods_csv(rows):
    out = io.StringIO()
    writer = csv.writer(out, delimiter=";", lineterminator="\r\n")
    writer.writerow(["code", "barcode", "price", "name", "group", "quantity"])
    writer.writerows(rows)
    return out.getvalue()


def saved_table(emulator):
    """The emulator's table as it saved it when it stopped: code -> fields."""
    emulator.stop()
    table = {}
    for line in emulator.saved.read_text(encoding="cp1251").splitlines():
        if line.strip():
            fields = [field.strip() for field in line.split(";", 5)]
            table[int(fields[0])] = fields
    return table
