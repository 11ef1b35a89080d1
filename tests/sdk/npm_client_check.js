// Drives sdk_test_server with the openrgb-sdk npm client: connects, lists the
// three controllers and checks what the client read of them, then switches
// modes and sends colours the ways the client offers, and compares what the
// server's host was called with, line for line.
// Usage: node npm_client_check.js SDK_TEST_SERVER (openrgb-sdk on NODE_PATH)
"use strict"

const { spawn } = require("child_process")
const { Client, utils } = require("openrgb-sdk")

const server = spawn(process.argv[2], ["0"], { stdio: ["ignore", "pipe", "inherit"] })
const lines = []
let partial = ""
server.stdout.setEncoding("utf8")
server.stdout.on("data", (chunk) => {
	const parts = (partial + chunk).split("\n")
	partial = parts.pop()
	lines.push(...parts)
})

function check (condition, what) {
	if (!condition) throw new Error(what)
}

async function waitFor (condition, what, ms = 5000) {
	for (const end = Date.now() + ms; !condition(); ) {
		if (Date.now() > end) throw new Error(`timed out waiting for ${what}`)
		await new Promise((resolve) => setTimeout(resolve, 10))
	}
}

const hex = (colours) => colours.map((c) => " " + [c.red, c.green, c.blue].map((v) => v.toString(16).padStart(2, "0")).join("")).join("")

async function main () {
	await waitFor(() => lines.length > 0, "the server's port")
	const port = Number(lines[0].replace(/^port /, ""))
	check(port > 0, `no port in "${lines[0]}"`)

	const client = new Client("talvo-check", port, "127.0.0.1")
	await client.connect()
	check(client.protocolVersion === 4, `client settled on protocol ${client.protocolVersion}, not 4`)

	check(await client.getControllerCount() === 3, "controller count is not 3")
	const devices = await client.getAllControllerData()
	const expected = [
		{ name: "Mouse", type: utils.deviceType.mouse, leds: 20, zoneType: 1 },
		{ name: "Keyboard", type: utils.deviceType.keyboard, leds: 126, zoneType: 2 },
		{ name: "Mousepad", type: utils.deviceType.mousemat, leds: 15, zoneType: 1 },
	]
	expected.forEach((want, i) => {
		const device = devices[i]
		check(device.name === want.name && device.type === want.type, `controller ${i} is ${device.name}, type ${device.type}`)
		check(device.vendor === "Talvo", `controller ${i} vendor "${device.vendor}"`)
		check(device.leds.length === want.leds && device.colors.length === want.leds, `controller ${i} has ${device.leds.length} LEDs`)
		check(device.zones.length === 1 && device.zones[0].ledsCount === want.leds && device.zones[0].type === want.zoneType,
			`controller ${i} zone ${JSON.stringify(device.zones[0])}`)
		check(device.zones[0].segments.length === 0, `controller ${i} has segments`)
		check(device.leds[want.leds - 1].name === `${want.name} LED ${want.leds}`, `controller ${i} last LED "${device.leds[want.leds - 1].name}"`)
		const names = device.modes.map((m) => m.name).join(",")
		check(names === "Direct,Static,Breathing", `controller ${i} modes ${names}`)
		check(device.activeMode === 1, `controller ${i} active mode ${device.activeMode}`)
		const breathing = device.modes[2]
		check(breathing.speedMin === 1 && breathing.speedMax === 5 && breathing.brightnessMax === 4 && breathing.colorMax === 2,
			`controller ${i} Breathing ${JSON.stringify(breathing)}`)
		check(breathing.flagList.includes("randomColor") && breathing.colors.length === 1, `controller ${i} Breathing flags ${breathing.flagList}`)
	})
	const matrix = devices[1].zones[0].matrix
	check(matrix.height === 6 && matrix.width === 21 && matrix.keys[0][0] === 0 && matrix.keys[5][20] === 125,
		`keyboard matrix ${matrix.height}×${matrix.width}`)

	const keyColours = Array.from({ length: 126 }, (_, i) => utils.color(i, 255 - i, (7 * i) % 256))
	const mouseColours = Array.from({ length: 20 }, (_, i) => utils.color(10 * i, 0, 200 - 10 * i))
	client.setCustomMode(1)
	client.updateLeds(1, keyColours)
	await client.updateMode(0, "Direct")
	client.updateZoneLeds(0, 0, mouseColours)
	await client.updateMode(2, { name: "Breathing", speed: 5, colors: [utils.color(0, 255, 0), utils.color(0, 0, 9)] })
	await client.saveMode(1, { name: "Static", colors: [utils.color(9, 9, 9)] })
	client.updateSingleLed(2, 14, utils.color(1, 2, 3))

	const calls = [
		"named talvo-check",
		"custom 1",
		"leds 1 0" + hex(keyColours),
		"mode 0 Direct speed 0 brightness 0 direction 0 colour-mode 1 colours",
		"leds 0 0" + hex(mouseColours),
		"mode 2 Breathing speed 5 brightness 4 direction 0 colour-mode 2 colours 00ff00 000009",
		"mode 1 Static speed 0 brightness 4 direction 0 colour-mode 2 colours 090909",
		"leds 2 14 010203",
	]
	await waitFor(() => lines.length >= calls.length + 1, "the host calls")
	// The server keeps what the calls changed, and a client reads it back.
	const pad = await client.getControllerData(2)
	check(pad.activeMode === 2 && hex([pad.colors[14]]) === " 010203", `mousepad reads back mode ${pad.activeMode}, LED 15${hex([pad.colors[14]])}`)
	client.disconnect()

	const got = lines.slice(1)
	calls.forEach((call, i) => check(got[i] === call, `host call ${i + 1}:\n  got      ${got[i]}\n  expected ${call}`))
	check(got.length === calls.length, `extra host calls: ${got.slice(calls.length).join(" | ")}`)
	console.log(`${calls.length} host calls as expected`)
}

main().then(() => {
	server.kill()
	process.exit(0)
}, (error) => {
	console.error(`npm_client_check: ${error.message}`)
	console.error(`server printed:\n${lines.join("\n")}`)
	server.kill()
	process.exit(1)
})
