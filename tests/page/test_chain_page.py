#!/usr/bin/python3
"""The head office's page in a real browser: two venues, each a quorind with quorin-sim units on a
mosquitto of its own, bridged to the head office's mosquitto, where a third quorind follows them."""

import getpass
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from pagetools import Sim, chromium, free_port, wait_for

QUORIND = sys.argv.pop(1)
QUORIN_SIM = sys.argv.pop(1)
SHOTS = sys.argv.pop(1)
MIC_SET = 'CD 02 06 00 01 '
PASSWORD = 'chain-secret\n'


def clock(seconds_from_now):
    return time.strftime('%H:%M', time.localtime(time.time() + seconds_from_now))


CAP_UNTIL = clock(3 * 3600)


class Broker:
    def __init__(self, folder, extra=''):
        self.port = free_port()
        config = os.path.join(folder, 'mosquitto-%d.conf' % self.port)
        with open(config, 'w') as f:
            f.write('listener %d 127.0.0.1\nallow_anonymous true\nuser %s\n%s' % (self.port, getpass.getuser(), extra))
        self.process = subprocess.Popen(['mosquitto', '-c', config], stderr=subprocess.DEVNULL)


class Service:
    def __init__(self, folder, name, sections, users):
        self.folder = os.path.join(folder, name)
        os.mkdir(self.folder)
        self.port = free_port()
        self.config = os.path.join(self.folder, 'quorind.conf')
        with open(self.config, 'w') as f:
            f.write('[service]\nlisten=127.0.0.1:%d\naccounts=accounts.json\naudit=audit.log\nstate=.\n%s'
                    % (self.port, sections))
        for user, role in users:
            subprocess.run([QUORIND, '--config', self.config, 'user', 'add', user, '--role', role],
                           input=PASSWORD, text=True, check=True)
        self.process = subprocess.Popen([QUORIND, '--config', self.config], stderr=subprocess.DEVNULL)
        self.base = 'http://127.0.0.1:%d' % self.port
        self.token = None

    # The answer, or nothing while the service is not there yet.
    def call(self, method, path, user, body=None):
        try:
            if self.token is None:
                self.token = json.loads(urllib.request.urlopen(urllib.request.Request(
                    self.base + '/api/v1/login', data=json.dumps({'user': user, 'password': PASSWORD.strip()}).encode(),
                    headers={'Content-Type': 'application/json'}), timeout=5).read())['token']
            return json.loads(urllib.request.urlopen(urllib.request.Request(
                self.base + '/api/v1' + path, method=method, data=body,
                headers={'Authorization': 'Bearer ' + self.token, 'Content-Type': 'application/json'}), timeout=5).read())
        except OSError:
            return {}


class TestChainPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.brokers, cls.venues, cls.sims, cls.browsers, cls.office = [], [], {}, [], None
        try:
            cls.start_chain(cls.dir.name)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def start_chain(cls, d):
        cls.office_broker = Broker(d)
        cls.brokers.append(cls.office_broker)
        rooms = {'venue1': ['room1', 'room2'], 'venue2': ['bar']}
        for venue, names in rooms.items():
            cls.brokers.append(Broker(d, 'connection hq\naddress 127.0.0.1:%d\nremote_clientid bridge-%s\n'
                                         'topic quorin/%s/# both 1\ncleansession false\nrestart_timeout 1 2\n'
                                      % (cls.office_broker.port, venue, venue)))
            sections = '[mqtt]\nurl=mqtt://127.0.0.1:%d\nprefix=quorin/%s\n[alerts]\noffline-after=1\n' % (
                cls.brokers[-1].port, venue)
            if venue == 'venue1':
                sections += '[cap night]\nfrom=%s\nto=%s\nunits=*\nMUS volume=50\nwatch-seconds=60\n' % (
                    clock(-3600), CAP_UNTIL)
            else:
                sections += '[scene open]\nunits=*\nKTV volume=30\n'
            for name in names:
                cls.sims[venue + '/' + name] = Sim(QUORIN_SIM, os.path.join(d, venue + name))
                sections += '[%s]\nport=%s\n' % (name, os.path.join(d, venue + name))
            cls.venues.append(Service(d, venue, sections, [('ada', 'admin')]))
        cls.office = Service(d, 'office', '[chain]\nurl=mqtt://127.0.0.1:%d\nprefixes=quorin/#\n' % cls.office_broker.port,
                             [('boss', 'admin'), ('clerk', 'staff')])
        states = lambda: {u['id']: u['state'] for u in cls.office.call('GET', '/units', 'boss').get('units', [])}
        if not wait_for(lambda: states() == {room: 'online' for room in cls.sims}, 30):
            raise RuntimeError('the head office sees %s' % states())
        wait_for(lambda: cls.venues[1].call('POST', '/scenes/open/recall', 'ada', b'{}'), 10)

    @classmethod
    def tearDownClass(cls):
        for browser in cls.browsers:
            browser.quit()
        for program in [cls.office] + cls.venues + cls.brokers:
            if program:
                program.process.kill()
            program.process.wait()
        for sim in cls.sims.values():
            sim.stop()

    def browser(self):
        browser = chromium(360, 740, 'zh-CN', self.dir.name)
        self.browsers.append(browser)
        return browser

    def login(self, browser, user):
        browser.get(self.office.base + '/')
        wait_for(lambda: browser.find_elements(By.ID, 'user'), 10)
        browser.find_element(By.ID, 'user').send_keys(user)
        browser.find_element(By.ID, 'password').send_keys(PASSWORD.strip(), Keys.ENTER)
        self.assertTrue(wait_for(lambda: len(browser.find_elements(By.CSS_SELECTOR, '.units a')) == 3, 10))

    def test_overview_grouped_by_venue_and_commands_reach_the_unit(self):
        boss = self.browser()
        self.login(boss, 'boss')
        venues = {section.find_element(By.TAG_NAME, 'h3').text: [a.text for a in section.find_elements(By.CSS_SELECTOR, '.units a')]
                  for section in boss.find_elements(By.CSS_SELECTOR, 'section.venue')}
        self.assertEqual(venues, {'venue1': ['room1', 'room2'], 'venue2': ['bar']})
        self.assertEqual(boss.title, 'Quorin 总部')
        cards = [card.text for card in boss.find_elements(By.CSS_SELECTOR, '.units li')]
        self.assertIn('限制：night，至 ' + CAP_UNTIL, cards[0])
        self.assertTrue(wait_for(lambda: '场景：open' in boss.find_elements(By.CSS_SELECTOR, '.units li')[2].text, 5))

        # A pulled unit is an alert at its venue, and the head office's admins see it.
        self.sims['venue1/room2'].stop()
        alert = wait_for(lambda: boss.find_elements(By.CSS_SELECTOR, 'ul.alerts a'), 20)[0]
        self.assertEqual(alert.get_attribute('href').split('#')[1], '/unit/venue1%2Froom2')
        self.assertTrue(wait_for(lambda: '离线' in boss.find_elements(By.CSS_SELECTOR, '.units li')[1].text, 10))
        boss.save_screenshot(os.path.join(SHOTS, 'head-office-360x740.png'))

        # The room's page is found by its venue and name; a key press reaches that unit only.
        boss.find_elements(By.LINK_TEXT, 'room1')[0].click()
        slider = wait_for(lambda: boss.find_element(By.ID, 'slider-MIC'), 5)
        self.assertEqual(boss.find_elements(By.ID, 'restore-file'), [])
        before = int(slider.get_attribute('value'))
        boss.execute_script('arguments[0].focus()', slider)
        slider.send_keys(Keys.ARROW_RIGHT)
        frame = MIC_SET + '%02X' % (before + 1)
        self.assertTrue(wait_for(lambda: frame in self.sims['venue1/room1'].frames(), 10))
        self.assertNotIn(frame, self.sims['venue2/bar'].frames())
        self.assertTrue(wait_for(lambda: self.venues[0].call('GET', '/units', 'ada')['units'][0]['live']['MIC volume'] == before + 1, 5))

    def test_staff_at_the_head_office_only_look(self):
        clerk = self.browser()
        self.login(clerk, 'clerk')
        clerk.find_element(By.LINK_TEXT, 'bar').click()
        wait_for(lambda: clerk.find_elements(By.ID, 'slider-MIC'), 5)
        self.assertIn('只读', clerk.find_element(By.ID, 'room').text)
        self.assertTrue(all(not c.is_enabled() for c in clerk.find_elements(By.CSS_SELECTOR, '#room input, #room select')))


if __name__ == '__main__':
    unittest.main(verbosity=2)
