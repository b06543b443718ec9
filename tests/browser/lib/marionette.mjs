// Headless Firefox driven through its own Marionette protocol (no driver
// program): JSON messages, each prefixed by its length and a colon, on a
// local port Firefox picks and writes into its profile. Every web address
// goes to a proxy on 127.0.0.1 that answers nothing, so the browser has no
// network.
import { spawn } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import net from "node:net";
import { tmpdir } from "node:os";
import path from "node:path";

export const firefoxPath = process.env.FIREFOX || "/usr/bin/firefox-esr";

// Resolves when check() gives a truthy value, polling; rejects after `patience` ms.
async function until(check, patience, what) {
  const end = Date.now() + patience;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

export async function launchFirefox({ width, height, patience }) {
  const refuser = net.createServer((socket) => socket.destroy());
  await new Promise((resolve) => refuser.listen(0, "127.0.0.1", resolve));
  const proxyPort = refuser.address().port;
  const profile = mkdtempSync(path.join(tmpdir(), "firefox-profile-"));
  const prefs = {
    "marionette.port": 0,
    "network.proxy.type": 1, "network.proxy.http": "127.0.0.1", "network.proxy.http_port": proxyPort,
    "network.proxy.ssl": "127.0.0.1", "network.proxy.ssl_port": proxyPort, "network.proxy.allow_hijacking_localhost": true,
    "browser.shell.checkDefaultBrowser": false, "browser.aboutwelcome.enabled": false,
    "browser.startup.homepage_override.mstone": "ignore", "app.update.disabledForTesting": true,
    "datareporting.policy.dataSubmissionEnabled": false, "toolkit.telemetry.reportingpolicy.firstRun": false,
  };
  writeFileSync(path.join(profile, "user.js"),
    Object.entries(prefs).map(([k, v]) => `user_pref(${JSON.stringify(k)}, ${JSON.stringify(v)});\n`).join(""));
  const firefox = spawn(firefoxPath, ["--headless", "--marionette", "--no-remote", "--profile", profile,
    "--width", String(width), "--height", String(height), "about:blank"], { stdio: "ignore" });
  const exited = new Promise((resolve) => firefox.on("exit", resolve));

  const portFile = path.join(profile, "MarionetteActivePort");
  const port = await until(() => existsSync(portFile) && parseInt(readFileSync(portFile, "utf8"), 10), patience,
    "Firefox's Marionette port");
  const socket = net.connect(port, "127.0.0.1");
  await new Promise((resolve, reject) => socket.once("connect", resolve).once("error", reject));
  let buffer = Buffer.alloc(0);
  const messages = [], waiters = [];
  socket.on("data", (data) => {
    buffer = Buffer.concat([buffer, data]);
    for (;;) {
      const colon = buffer.indexOf(":");
      if (colon < 0) break;
      const length = parseInt(buffer.toString("latin1", 0, colon), 10);
      if (buffer.length < colon + 1 + length) break;
      messages.push(JSON.parse(buffer.toString("utf8", colon + 1, colon + 1 + length)));
      buffer = buffer.subarray(colon + 1 + length);
    }
    waiters.splice(0).forEach((wake) => wake());
  });
  const next = async (wanted) => {
    for (;;) {
      const i = messages.findIndex(wanted);
      if (i >= 0) return messages.splice(i, 1)[0];
      await new Promise((wake) => waiters.push(wake));
    }
  };
  await next(() => true);  // the greeting: application type and protocol level
  let id = 0;
  async function command(name, parameters = {}) {
    const mine = ++id, text = JSON.stringify([0, mine, name, parameters]);
    socket.write(`${Buffer.byteLength(text)}:${text}`);
    const [, , error, result] = await next((m) => Array.isArray(m) && m[0] === 1 && m[1] === mine);
    if (error) throw new Error(`${name}: ${error.error}: ${error.message}`);
    return result;
  }
  await command("WebDriver:NewSession", { capabilities: { alwaysMatch: { pageLoadStrategy: "normal" } } });
  await command("WebDriver:SetTimeouts", { script: patience, pageLoad: patience, implicit: 0 });

  return {
    command,
    until: (check, what) => until(check, patience, what),
    navigate: (url) => command("WebDriver:Navigate", { url }),
    run: async (script, args = []) => (await command("WebDriver:ExecuteScript", { script, args })).value,
    element: async (selector) => Object.values((await command("WebDriver:FindElement",
      { using: "css selector", value: selector })).value)[0],
    click: (element) => command("WebDriver:ElementClick", { id: element }),
    screenshot: async (element) => Buffer.from((await command("WebDriver:TakeScreenshot", { id: element })).value, "base64"),
    async close() {
      // Not waited for: Firefox may close the socket before it answers.
      command("Marionette:Quit", {}).catch(() => {});
      await Promise.race([exited, new Promise((resolve) => socket.once("close", resolve))]);
      socket.destroy();
      const stuck = setTimeout(() => firefox.kill("SIGKILL"), patience);
      await exited;
      clearTimeout(stuck);
      refuser.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}
