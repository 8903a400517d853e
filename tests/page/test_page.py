#!/usr/bin/python3
"""The venue page in a real browser (headless chromium) against quorind and quorin-sim units."""

import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

from selenium import webdriver
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

QUORIND = sys.argv.pop(1)
QUORIN_SIM = sys.argv.pop(1)
SHOTS = sys.argv.pop(1)
HOSTILE = '<img src=x onerror=alert(1)>'


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

    def __init__(self, link):
        self.link = link
        self.start()

    def start(self):
        self.log = tempfile.NamedTemporaryFile(prefix='sim', suffix='.log', delete=False)
        self.process = subprocess.Popen([QUORIN_SIM, '--log-frames'], stdout=subprocess.PIPE, stderr=self.log, text=True)
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


class TestPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        d = cls.dir.name
        cls.sims = {'room1': Sim(os.path.join(d, 'unit1')), HOSTILE: Sim(os.path.join(d, 'unit2'))}
        cls.port = free_port()
        config = os.path.join(d, 'quorind.conf')
        with open(config, 'w') as f:
            f.write('[service]\nlisten=127.0.0.1:%d\naccounts=accounts.json\naudit=audit.log\n' % cls.port)
            for i, name in enumerate(cls.sims):
                f.write('[%s]\nport=%s\n' % (name, os.path.join(d, 'unit%d' % (i + 1))))
        for args in (['ada', '--role', 'admin'], ['sam', '--role', 'staff', '--units', 'room1']):
            subprocess.run([QUORIND, '--config', config, 'user', 'add'] + args, input='venue-secret\n', text=True, check=True)
        cls.service = subprocess.Popen([QUORIND, '--config', config])
        cls.base = 'http://127.0.0.1:%d' % cls.port
        wait_for(lambda: cls.status('/') == 200, 10)
        cls.browsers = []

    @classmethod
    def tearDownClass(cls):
        for browser in cls.browsers:
            browser.quit()
        cls.service.send_signal(signal.SIGTERM)
        cls.service.wait(15)
        for sim in cls.sims.values():
            sim.stop()

    @classmethod
    def status(cls, path):
        try:
            return urllib.request.urlopen(cls.base + path, timeout=2).status
        except Exception:
            return 0

    def browser(self, width, height):
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=%d,%d' % (width, height),
                         '--lang=zh-CN'):
            options.add_argument(argument)
        options.add_experimental_option('prefs', {'download.default_directory': self.dir.name})
        browser = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        # A window cannot be as narrow as a phone: the phone's screen is emulated.
        browser.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                {'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': width < 600})
        self.browsers.append(browser)
        return browser

    def login(self, browser, user):
        browser.get(self.base + '/')
        wait_for(lambda: browser.find_elements(By.ID, 'user'), 10)
        browser.find_element(By.ID, 'user').send_keys(user)
        browser.find_element(By.ID, 'password').send_keys('venue-secret', Keys.ENTER)
        self.assertTrue(wait_for(lambda: browser.find_elements(By.CSS_SELECTOR, '.units a'), 10))

    def open_room(self, browser, name):
        browser.find_element(By.LINK_TEXT, name).click()
        return wait_for(lambda: browser.find_elements(By.CSS_SELECTOR, 'input[aria-label="MIC volume"]'), 5)[0]

    def live_value(self, browser, label):
        return browser.find_element(By.CSS_SELECTOR, '[aria-label="%s"]' % label).get_attribute('value')

    def test_page(self):
        staff = self.browser(360, 740)
        self.login(staff, 'sam')
        self.assertEqual([a.text for a in staff.find_elements(By.CSS_SELECTOR, '.units a')], ['room1'])
        admin = self.browser(1280, 800)
        self.login(admin, 'ada')

        # The hostile name is shown as its characters and runs nothing.
        links = [a.text for a in admin.find_elements(By.CSS_SELECTOR, '.units a')]
        self.assertIn(HOSTILE, links)
        self.assertEqual(admin.find_elements(By.CSS_SELECTOR, 'main img'), [])
        admin.save_screenshot(os.path.join(SHOTS, 'overview-1280x800.png'))

        # Staff moves the MIC volume by keyboard: the exact frame reaches the unit.
        slider = self.open_room(staff, 'room1')
        self.open_room(admin, 'room1')
        before = self.live_value(admin, 'MIC volume')
        slider.send_keys(Keys.ARROW_UP)
        wanted = int(before) + 1
        frame = 'CD 02 06 00 01 %02X' % wanted
        self.assertTrue(wait_for(lambda: frame in self.sims['room1'].frames(), 5), self.sims['room1'].frames()[-5:])
        # A second browser shows it within a second of the unit's answer.
        started = time.time()
        self.assertTrue(wait_for(lambda: self.live_value(admin, 'MIC volume') == str(wanted), 1.0))
        print('second page updated %.0f ms after the frame' % ((time.time() - started) * 1000))
        staff.save_screenshot(os.path.join(SHOTS, 'room-360x740.png'))

        # Staff has no equaliser or restore controls, and a forged change without the token is refused.
        self.assertEqual(staff.find_elements(By.ID, 'restore-file'), [])
        self.assertEqual(staff.find_elements(By.PARTIAL_LINK_TEXT, '下载备份'), [])
        frames = len(self.sims['room1'].frames())
        status = staff.execute_async_script(
            "const done = arguments[0]; fetch('/api/v1/units/room1/settings', {method: 'POST', credentials: 'same-origin',"
            " body: JSON.stringify({'MIC volume': 3})}).then(r => done(r.status));")
        self.assertEqual(status, 403)
        self.assertEqual(len(self.sims['room1'].frames()), frames)
        # No sideways scrolling on a phone.
        self.assertLessEqual(staff.execute_script('return document.documentElement.scrollWidth'), 360)

        # The admin downloads the backup the API gives, byte for byte.
        admin.find_element(By.PARTIAL_LINK_TEXT, '下载备份').click()
        downloaded = os.path.join(self.dir.name, 'room1.txt')
        self.assertTrue(wait_for(lambda: os.path.exists(downloaded) and os.path.getsize(downloaded) > 0, 10))
        token = json.loads(urllib.request.urlopen(urllib.request.Request(
            self.base + '/api/v1/login', data=b'{"user":"ada","password":"venue-secret"}',
            headers={'Content-Type': 'application/json'})).read())['token']
        expected = urllib.request.urlopen(urllib.request.Request(
            self.base + '/api/v1/units/room1/backup', headers={'Authorization': 'Bearer ' + token})).read()
        with open(downloaded, 'rb') as f:
            self.assertEqual(f.read(), expected)

        # The unit pulled away shows offline within the heartbeat deadline, and online once back.
        self.sims['room1'].stop()
        self.assertTrue(wait_for(lambda: '离线' in staff.find_element(By.CSS_SELECTOR, '.state').text, 10))
        self.sims['room1'].start()
        self.assertTrue(wait_for(lambda: '在线' in staff.find_element(By.CSS_SELECTOR, '.state').text, 15))


if __name__ == '__main__':
    unittest.main()
