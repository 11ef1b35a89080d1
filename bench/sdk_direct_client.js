// The client side of bench/sdk_direct.sh: a lighting program streaming
// Direct colours through the openrgb-sdk client.
//   node sdk_direct_client.js stream PORT SECONDS   60 updates a second to every device
//   node sdk_direct_client.js latency PORT SOCKET N  N updates to the mouse, each timed until
//                                                    the simulated mouse holds it (read over
//                                                    the automation socket); prints the median
//                                                    and 99th percentile
const net = require('net');
const { Client } = require('openrgb-sdk');

const [mode, port, third, fourth] = process.argv.slice(2);

async function connected() {
  const client = new Client('Talvo bench', +port, '127.0.0.1');
  await client.connect();
  return client;
}

function automation(path) {
  const socket = net.connect(path);
  let buffer = '';
  const waiting = [];
  socket.on('data', d => {
    buffer += d;
    let end;
    while ((end = buffer.indexOf('\n')) >= 0) {
      const line = buffer.slice(0, end);
      buffer = buffer.slice(end + 1);
      waiting.shift()(JSON.parse(line));
    }
  });
  const ask = request => new Promise(resolve => {
    waiting.push(resolve);
    socket.write(JSON.stringify(request) + '\n');
  });
  ask.close = () => socket.end();
  return ask;
}

async function stream(seconds) {
  const client = await connected();
  const devices = await client.getAllControllerData();
  devices.forEach((_, i) => client.updateMode(i, 'Direct'));
  const started = Date.now();
  let n = 0;
  await new Promise(done => {
    const timer = setInterval(() => {
      n += 1;
      const colour = { red: n & 255, green: (n * 3) & 255, blue: (n * 7) & 255 };
      devices.forEach((d, i) => client.updateLeds(i, Array(d.leds.length).fill(colour)));
      if (Date.now() - started >= seconds * 1000) {
        clearInterval(timer);
        done();
      }
    }, 1000 / 60);
  });
  console.log(JSON.stringify({ updates: n }));
  client.disconnect();
}

async function latency(socketPath, count) {
  const client = await connected();
  const ask = automation(socketPath);
  // Full brightness: at the lowest level every frame is dark, and no update
  // could be told from the last.
  await ask({ cmd: 'set_value', name: 'ms_deng_light_slider', value: 4 });
  await client.updateMode(0, 'Direct');
  const times = [];
  let previous = '';
  // The first updates wake the mouse's thread and are not counted.
  const warmUp = 5;
  for (let i = 1; i <= count + warmUp; ++i) {
    // Full red shows the brightness level the mouse scales by; green flips
    // between two far values, so each update's frame differs from the last.
    const green = i % 2 ? 240 : 16;
    const colour = { red: 255, green, blue: 255 };
    const t0 = process.hrtime.bigint();
    client.updateLeds(0, Array(20).fill(colour));
    for (;;) {
      const frame = (await ask({ cmd: 'sim', op: 'memory', device: 'mouse', area: 'frame' })).hex.slice(0, 120);
      const t1 = process.hrtime.bigint();
      const level = parseInt(frame.slice(0, 2), 16);
      if (frame !== previous && parseInt(frame.slice(2, 4), 16) === Math.floor(green * (level + 1) / 256)) {
        previous = frame;
        if (i > warmUp) times.push(Number(t1 - t0) / 1e6);
        break;
      }
      if (Number(t1 - t0) > 2e9) {
        if (i > warmUp) times.push(Infinity);
        break;
      }
    }
    await new Promise(r => setTimeout(r, 20));
  }
  times.sort((a, b) => a - b);
  const at = q => {
    const t = times[Math.min(times.length - 1, Math.floor(q * times.length))];
    return t === Infinity ? 'over 2 s' : `${t.toFixed(2)} ms`;
  };
  const missed = times.filter(t => t === Infinity).length;
  console.log(`update to frame on the mouse: median ${at(0.5)}, p99 ${at(0.99)} (${times.length} updates` +
              (missed ? `, ${missed} never seen within 2 s)` : ')'));
  ask.close();
  client.disconnect();
}

(mode === 'stream' ? stream(+third) : latency(third, +fourth)).catch(e => { console.error(e); process.exit(1); });
