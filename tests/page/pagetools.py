"""What the page's browser tests share: free ports, patient waits, quorin-sim units and chromium."""

import os
import socket
import subprocess
import tempfile
import time

from selenium import webdriver
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.chrome.service import Service


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def wait_for(check, seconds):
    # A live update may redraw an element between finding it and reading it: look again.
    def look():
        try:
            return check()
        except StaleElementReferenceException:
            return None
    deadline = time.time() + seconds
    while time.time() < deadline:
        value = look()
        if value:
            return value
        time.sleep(0.05)
    return look()


class Sim:
    """A quorin-sim process behind a link, so that it can be unplugged and plugged in again."""

    def __init__(self, program, link):
        self.program = program
        self.link = link
        self.start()

    def start(self):
        self.log = tempfile.NamedTemporaryFile(prefix='sim', suffix='.log', delete=False)
        self.process = subprocess.Popen([self.program, '--log-frames'], stdout=subprocess.PIPE, stderr=self.log, text=True)
        path = self.process.stdout.readline().strip()
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.symlink(path, self.link)

    def frames(self):
        with open(self.log.name) as log:
            return [line.split(' ', 1)[1].strip() for line in log if line.startswith('frame ')]

    def stop(self):
        self.process.kill()
        self.process.wait()
        self.process.stdout.close()
        self.log.close()


def phone(browser, width, height):
    browser.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                            {'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': width < 600})


def chromium(width, height, language, downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=%d,%d' % (width, height),
                     '--lang=' + language):
        options.add_argument(argument)
    options.add_experimental_option('prefs', {'download.default_directory': downloads, 'intl.accept_languages': language})
    browser = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    # A window cannot be as narrow as a phone: the phone's screen is emulated.
    phone(browser, width, height)
    return browser
