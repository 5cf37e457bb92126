"""The web console in a real headless Chromium (Debian's chromium and
chromium-driver, driven by python3-selenium) against the service and the
emulator, started as the service's own tests start them.

CTest sets ZARVIK12M_EMULATOR, ZARVIK12M_SERVER and ZARVIK12M_SCREENSHOTS
(the folder each test leaves its screenshot in)."""

import importlib.util
import os
import pathlib
import shutil

import pytest

SOURCE = pathlib.Path(__file__).resolve().parents[2]

# The service's test helpers (Emulator, Server and their fixtures), loaded
# under a name of their own beside this conftest.
_spec = importlib.util.spec_from_file_location("server_support", SOURCE / "tests" / "server" / "conftest.py")
server_support = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(server_support)

emulator = server_support.emulator
server = server_support.server
SAMPLE_GOODS = server_support.SAMPLE_GOODS

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
CHROMEDRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"


def screenshot_folder():
    folder = pathlib.Path(os.environ.get("ZARVIK12M_SCREENSHOTS", SOURCE / "build" / "screenshots"))
    folder.mkdir(parents=True, exist_ok=True)
    return folder


@pytest.fixture
def browser(request, tmp_path):
    if not (os.path.exists(CHROMIUM) and os.path.exists(CHROMEDRIVER)):
        pytest.skip("chromium and chromium-driver are not installed (scripts/install-dependencies.sh)")
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1280,800", "--lang=ru-RU", f"--user-data-dir={tmp_path / 'profile'}"):
        options.add_argument(argument)
    # The page's console messages (a policy violation shows there), and
    # downloads into the test's folder.
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    downloads = tmp_path / "downloads"
    downloads.mkdir()
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service(executable_path=CHROMEDRIVER), options=options)
    driver.downloads = downloads
    driver.set_window_size(1280, 800)
    yield driver
    try:
        driver.save_screenshot(str(screenshot_folder() / f"{request.node.name}.png"))
    finally:
        driver.quit()
