// The two engines besides Chromium, driven as the tests drive Chromium:
// Debian's Firefox ESR through puppeteer-core (WebDriver BiDi), and WebKitGTK
// (Safari's engine) through its WebKitWebDriver, on an X server of its own.
// Each gives a page with the few calls the shared helpers make: goto,
// evaluate(fn, arg), waitForFunction, fill, setChecked, setInputFiles,
// $$eval, textContent, setViewportSize, screenshot; `problems` collects
// the page's uncaught errors.
import { spawn } from 'node:child_process';
import { createServer } from 'node:net';
import { existsSync, readdirSync, writeFileSync } from 'node:fs';
import puppeteer from 'puppeteer-core';

// The engines whose tests run: ZWP_ENGINES (comma-separated), else all three.
export const engines = (process.env.ZWP_ENGINES ?? 'chromium,firefox,webkit').split(',').filter(Boolean);

const delay = (ms) => new Promise((done) => setTimeout(done, ms));

// The calls a page makes of evaluate alone, the same in both drivers.
class Page {
  constructor() {
    this.problems = [];
  }

  async waitForFunction(fn, arg, { timeout = 60_000 } = {}) {
    for (const end = Date.now() + timeout; Date.now() < end; await delay(50)) {
      if (await this.evaluate(fn, arg)) return;
    }
    throw new Error(`timed out waiting for ${fn}`);
  }

  // As a user leaves a field: its value set, then input and change.
  fill(selector, value) {
    return this.evaluate(([s, v]) => {
      const e = document.querySelector(s);
      e.value = v;
      for (const type of ['input', 'change']) e.dispatchEvent(new Event(type, { bubbles: true }));
    }, [selector, value]);
  }

  setChecked(selector, on) {
    return this.evaluate(([s, v]) => {
      const e = document.querySelector(s);
      if (e.checked !== v) e.click();
    }, [selector, on]);
  }

  $$eval(selector, fn) {
    return this.evaluate(new Function('s', `return (${fn})([...document.querySelectorAll(s)]);`), selector);
  }

  textContent(selector) {
    return this.evaluate((s) => document.querySelector(s)?.textContent ?? null, selector);
  }

  // Records the page's uncaught errors in the page, for engines without such events.
  async watchErrors() {
    await this.evaluate(() => {
      window.zwpProblems = [];
      window.addEventListener('error', (e) => window.zwpProblems.push(e.message));
      window.addEventListener('unhandledrejection', (e) => window.zwpProblems.push(String(e.reason)));
    });
  }
}

class FirefoxPage extends Page {
  static async open() {
    const browser = await puppeteer.launch({
      browser: 'firefox', executablePath: process.env.ZWP_FIREFOX ?? '/usr/bin/firefox-esr', headless: true,
      // A closed network: no updates, telemetry or captive-portal checks.
      extraPrefsFirefox: { 'network.captive-portal-service.enabled': false, 'app.update.enabled': false },
    });
    const self = new FirefoxPage();
    self.browser = browser;
    self.page = await browser.newPage();
    self.page.on('pageerror', (e) => self.problems.push(e.message));
    return self;
  }

  goto(url) { return this.page.goto(url); }
  reload() { return this.page.reload(); }
  evaluate(fn, arg) { return this.page.evaluate(fn, arg); }
  async setInputFiles(selector, paths) { await (await this.page.$(selector)).uploadFile(...paths); }
  setViewportSize({ width, height }) { return this.page.setViewport({ width, height }); }
  screenshot({ path }) { return this.page.screenshot({ path, fullPage: true }); }
  close() { return this.browser.close(); }
}

// A free port on the loopback.
function freePort() {
  return new Promise((done) => {
    const probe = createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => done(port));
    });
  });
}

// An X server of our own: -displayfd names a free display once it takes connections.
function startXvfb() {
  const xvfb = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
    { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
  return new Promise((done, fail) => {
    xvfb.stdio[3].once('data', (data) => done({ xvfb, display: `:${String(data).trim()}` }));
    xvfb.once('exit', () => fail(new Error('Xvfb did not start')));
  });
}

// WebKitGTK's MiniBrowser, wherever this machine's architecture and release put it.
function miniBrowser() {
  const found = readdirSync('/usr/lib').flatMap((arch) => ['webkit2gtk-4.1', 'webkitgtk-6.0']
    .map((version) => `/usr/lib/${arch}/${version}/MiniBrowser`)).find((path) => existsSync(path));
  return process.env.ZWP_MINIBROWSER ?? found;
}

class WebKitPage extends Page {
  static async open() {
    const self = new WebKitPage();
    ({ xvfb: self.xvfb, display: self.display } = await startXvfb());
    const port = await freePort();
    self.driver = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore', env: { ...process.env, DISPLAY: self.display } });
    self.base = `http://127.0.0.1:${port}`;
    for (let tries = 0; ; tries++) {
      try {
        const { sessionId } = await self.call('POST', '/session', { capabilities: { alwaysMatch: {
          'webkitgtk:browserOptions': { binary: miniBrowser(), args: ['--automation'] } } } });
        self.session = `/session/${sessionId}`;
        return self;
      } catch (e) {
        if (tries > 50) throw e;
        await delay(100);
      }
    }
  }

  async call(method, path, body) {
    const response = await fetch(this.base + path, {
      method, headers: { 'Content-Type': 'application/json' }, body: body && JSON.stringify(body),
    });
    const { value } = await response.json();
    if (value?.error) throw new Error(`${value.error}: ${value.message}`);
    return value;
  }

  async goto(url) {
    await this.call('POST', `${this.session}/url`, { url });
    await this.watchErrors();
  }

  async reload() {
    await this.call('POST', `${this.session}/refresh`, {});
    await this.watchErrors();
  }

  async evaluate(fn, arg) {
    const script = `const done = arguments[1];
      Promise.resolve().then(() => (${fn})(arguments[0])).then((v) => done({ v }), (e) => done({ e: String(e) }));`;
    const { v, e } = await this.call('POST', `${this.session}/execute/async`, { script, args: [arg ?? null] });
    if (e) throw new Error(e);
    return v;
  }

  get problemsSeen() {
    return this.evaluate(() => window.zwpProblems ?? []);
  }

  async setInputFiles(selector, paths) {
    const found = await this.call('POST', `${this.session}/element`, { using: 'css selector', value: selector });
    await this.call('POST', `${this.session}/element/${Object.values(found)[0]}/value`, { text: paths.join('\n') });
  }

  setViewportSize({ width, height }) {
    return this.call('POST', `${this.session}/window/rect`, { width, height });
  }

  async screenshot({ path }) {
    writeFileSync(path, Buffer.from(await this.call('GET', `${this.session}/screenshot`), 'base64'));
  }

  async close() {
    await this.call('DELETE', this.session).catch(() => {});
    this.driver.kill();
    this.xvfb.kill();
  }
}

export const openEngine = { firefox: FirefoxPage.open, webkit: WebKitPage.open };
