// A lighting program's side of the e2e SDK tests: the public openrgb-sdk
// client, driven one JSON command per stdin line, answering one JSON line
// each. Commands:
//   {"cmd":"connect","port":N}
//   {"cmd":"list"}                      → controllers: name, type, leds, zones, modes, active mode
//   {"cmd":"mode","device":i,"mode":name or number}
//   {"cmd":"custom","device":i}
//   {"cmd":"leds","device":i,"colour":"rrggbb"}   every LED of the device
//   {"cmd":"zone","device":i,"zone":z,"colour":"rrggbb","count":n}
//   {"cmd":"led","device":i,"led":n,"colour":"rrggbb"}
//   {"cmd":"quit"}
const readline = require('readline');
const { Client } = require('openrgb-sdk');

const client = new Client('Talvo e2e', 6742, '127.0.0.1');

function colourOf(hex) {
  return { red: parseInt(hex.slice(0, 2), 16), green: parseInt(hex.slice(2, 4), 16), blue: parseInt(hex.slice(4, 6), 16) };
}

async function run(c) {
  switch (c.cmd) {
    case 'connect':
      client.port = c.port;
      await client.connect();
      return { ok: true, protocol: client.protocolVersion };
    case 'list': {
      const devices = await client.getAllControllerData();
      return {
        ok: true,
        controllers: devices.map(d => ({
          name: d.name, type: d.type, leds: d.leds.length, activeMode: d.activeMode,
          zones: d.zones.map(z => ({ name: z.name, leds: z.ledsCount, matrix: z.matrix ? [z.matrix.height, z.matrix.width] : null })),
          modes: d.modes.map(m => m.name), firstLed: d.leds.length ? d.leds[0].name : ''
        }))
      };
    }
    case 'mode':
      await client.updateMode(c.device, c.mode);
      return { ok: true };
    case 'custom':
      client.setCustomMode(c.device);
      return { ok: true };
    case 'leds': {
      const d = await client.getControllerData(c.device);
      client.updateLeds(c.device, Array(d.leds.length).fill(colourOf(c.colour)));
      return { ok: true };
    }
    case 'zone':
      client.updateZoneLeds(c.device, c.zone, Array(c.count).fill(colourOf(c.colour)));
      return { ok: true };
    case 'led':
      client.updateSingleLed(c.device, c.led, colourOf(c.colour));
      return { ok: true };
    case 'quit':
      client.disconnect();
      setTimeout(() => process.exit(0), 50);
      return { ok: true };
    default:
      return { ok: false, error: 'unknown command' };
  }
}

const lines = readline.createInterface({ input: process.stdin });
let queue = Promise.resolve();
lines.on('line', line => {
  queue = queue.then(async () => {
    let reply;
    try {
      reply = await run(JSON.parse(line));
    } catch (e) {
      reply = { ok: false, error: String(e && e.message ? e.message : e) };
    }
    process.stdout.write(JSON.stringify(reply) + '\n');
  });
});
lines.on('close', () => { queue.then(() => { client.disconnect(); process.exit(0); }); });
