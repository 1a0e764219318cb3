#!/usr/bin/env node
// Builds the plug-in's APT.dat and Radio.dat from the OurAirports world data:
//   node make_airdata.js --db airports.sqlite --frequencies airport-frequencies.csv
//                        --out DIR [--sqlite3 /usr/bin/sqlite3]
// Airport positions come from the sqlite database (read through the sqlite3 shell, so nothing
// beyond Node's own modules is needed); radio frequencies from the CSV list.
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

// ---- service types -------------------------------------------------------------------------

const ATIS = 1, MULTICOM = 2, UNICOM = 3, CTAF = 4, GRND = 5, TWR = 6, DELIV = 7, APP = 8,
      DEP = 9, CTR = 10, FSS = 11, AWOS = 12;

// Words of the source's free-text service types and the codes they stand for. Only services the
// plug-in has a code for; information, radio, ops, radar and the like have none and are dropped.
const WORDS = new Map([
  ['ATIS', [ATIS]],
  ['MULTICOM', [MULTICOM]], ['MULT', [MULTICOM]],
  ['UNICOM', [UNICOM]], ['UNIC', [UNICOM]], ['UC', [UNICOM]],
  // Canada's aerodrome traffic and mandatory frequencies serve as the CTAF there.
  ['CTAF', [CTAF]], ['ATF', [CTAF]], ['MF', [CTAF]],
  ['GND', [GRND]], ['GROUND', [GRND]], ['GRND', [GRND]], ['GRN', [GRND]], ['GRD', [GRND]],
  ['GNDC', [GRND]], ['GMC', [GRND]], ['SMC', [GRND]],
  ['TWR', [TWR]], ['TOWER', [TWR]], ['MTWR', [TWR]],
  ['DEL', [DELIV]], ['DELIVERY', [DELIV]], ['DLV', [DELIV]], ['DLVR', [DELIV]], ['CLD', [DELIV]],
  ['CLR', [DELIV]], ['CLRD', [DELIV]], ['CLNC', [DELIV]], ['CLRN', [DELIV]], ['CLEARANCE', [DELIV]],
  ['APP', [APP]], ['APPR', [APP]], ['APCH', [APP]], ['APPROACH', [APP]], ['APROAC', [APP]],
  ['APR', [APP]], ['APRCH', [APP]], ['ARR', [APP]],
  ['DEP', [DEP]], ['DEPT', [DEP]], ['DEPARTURE', [DEP]], ['DEPARTURES', [DEP]],
  ['CTR', [CTR]], ['CNTR', [CTR]], ['CENTER', [CTR]], ['CENTRE', [CTR]], ['CEN', [CTR]],
  ['ACC', [CTR]], ['ARTC', [CTR]], ['ARTCC', [CTR]],
  ['FSS', [FSS]], ['RFSS', [FSS]], ['RCO', [FSS]],
  ['AWOS', [AWOS]], ['ASOS', [AWOS]], ['AWIS', [AWOS]], ['AWIB', [AWOS]],
]);

// Whole texts that would be lost by splitting at the slash.
const WHOLE = new Map([
  ['A/D', [APP, DEP]],  // approach/departure control
  ['C/D', [DELIV]],     // clearance delivery
  ['AREA CONTROL', [CTR]], ['AREA CTRL', [CTR]],
]);

// Codes of one service-type text, in ascending order; empty when none applies.
function serviceCodes(text) {
  const upper = String(text || '').toUpperCase().trim().replace(/\s+/g, ' ');
  if (WHOLE.has(upper)) return WHOLE.get(upper).slice();
  const codes = new Set();
  for (let word of upper.split(/[^A-Z0-9]+/)) {
    word = word.replace(/[0-9]+$/, '');  // "TWR2", "GND01"
    for (const code of WORDS.get(word) || []) codes.add(code);
  }
  // "ATIS ARR" and "ATIS DEP" are broadcasts, not the approach or departure controller.
  if (codes.has(ATIS)) for (const c of [APP, DEP]) codes.delete(c);
  return [...codes].sort((a, b) => a - b);
}

// A frequency text as the source wrote it, when it is a plain number within the airband.
function airbandFrequency(text) {
  const t = String(text || '').trim();
  if (!/^[0-9]{1,3}(\.[0-9]{1,4})?$/.test(t)) return null;
  const mhz = Number(t);
  return mhz >= 108 && mhz <= 137 ? t : null;
}

// ---- CSV -----------------------------------------------------------------------------------

function parseCsv(text) {
  const rows = [];
  let row = [], field = '', quoted = false, i = 0;
  while (i < text.length) {
    const ch = text[i];
    if (quoted) {
      if (ch === '"') {
        if (text[i + 1] === '"') { field += '"'; i += 2; continue; }
        quoted = false; i++; continue;
      }
      field += ch; i++; continue;
    }
    if (ch === '"') { quoted = true; i++; continue; }
    if (ch === ',') { row.push(field); field = ''; i++; continue; }
    if (ch === '\r') { i++; continue; }
    if (ch === '\n') { row.push(field); rows.push(row); row = []; field = ''; i++; continue; }
    field += ch; i++;
  }
  if (field !== '' || row.length) { row.push(field); rows.push(row); }
  return rows;
}

// ---- output records ------------------------------------------------------------------------

// Rank in APT.dat: inside one search radius the first airport in the file wins, so airports
// with air traffic services come before strips, seaplane bases and helipads.
const TYPE_RANK = ['large_airport', 'medium_airport', 'small_airport', 'seaplane_base',
                   'heliport', 'balloonport'];

// A text field that may hold commas: quoted, with no double quote of its own inside (the
// plug-in's reader ends a quoted field at the first comma after a double quote).
function quotedText(text, maxBytes) {
  let t = String(text || '').replace(/"/g, "'").replace(/[\x00-\x1f\x7f]/g, ' ').trim();
  while (Buffer.byteLength(t, 'utf8') > maxBytes) t = t.slice(0, -1);
  return '"' + t + '"';
}

function isIdent(ident) {
  return /^[A-Z0-9]{3,4}$/.test(ident);
}

function readAirports(sqlite3, db) {
  const sql = "SELECT icao, type, name, latitude, longitude, elevation_ft, country_code " +
              "FROM airports WHERE type <> 'closed' AND length(icao) BETWEEN 3 AND 4";
  const json = execFileSync(sqlite3, ['-readonly', '-json', db, sql],
                            { maxBuffer: 1 << 30, encoding: 'utf8' });
  const rows = json.trim() ? JSON.parse(json) : [];
  const airports = [];
  for (const r of rows) {
    const ident = String(r.icao || '').toUpperCase();
    const lat = Number(r.latitude), lon = Number(r.longitude);
    if (!isIdent(ident) || !Number.isFinite(lat) || !Number.isFinite(lon)) continue;
    if (Math.abs(lat) > 90 || Math.abs(lon) > 180) continue;
    const rank = TYPE_RANK.indexOf(r.type);
    airports.push({ ident, type: r.type, rank: rank < 0 ? TYPE_RANK.length : rank, name: r.name,
                    lat, lon, elevation: Number.isFinite(Number(r.elevation_ft)) ? Number(r.elevation_ft) : 0,
                    country: String(r.country_code || '').replace(/[^A-Za-z0-9-]/g, '') });
  }
  airports.sort((a, b) => a.rank - b.rank || (a.ident < b.ident ? -1 : a.ident > b.ident ? 1 : 0));
  return airports;
}

function aptLine(a) {
  // Field 0 unquoted: the reader takes the first four characters of the line as the ident.
  return [a.ident, a.type, quotedText(a.name, 200), String(a.lat), String(a.lon),
          String(Math.round(a.elevation)), a.country].join(',');
}

function radioLines(frequencyRows, known) {
  const header = frequencyRows[0] || [];
  const col = (name) => header.indexOf(name);
  const cIdent = col('airport_ident'), cType = col('type'), cFreq = col('frequency_mhz');
  if (cIdent < 0 || cType < 0 || cFreq < 0) throw new Error('unexpected frequency list header');
  const byAirport = new Map();
  const stats = { rows: 0, kept: 0, noCode: 0, outOfBand: 0, unknownAirport: 0 };
  for (const row of frequencyRows.slice(1)) {
    if (row.length <= Math.max(cIdent, cType, cFreq)) continue;
    stats.rows++;
    const ident = String(row[cIdent]).trim().toUpperCase();
    if (!known.has(ident)) { stats.unknownAirport++; continue; }
    const freq = airbandFrequency(row[cFreq]);
    if (freq === null) { stats.outOfBand++; continue; }
    const codes = serviceCodes(row[cType]);
    if (!codes.length) { stats.noCode++; continue; }
    if (!byAirport.has(ident)) byAirport.set(ident, []);
    for (const code of codes) byAirport.get(ident).push({ code, freq });
  }
  const lines = [];
  for (const ident of [...byAirport.keys()].sort()) {
    const seen = new Set();
    const entries = byAirport.get(ident)
      .sort((a, b) => a.code - b.code || Number(a.freq) - Number(b.freq))
      .filter((e) => { const k = e.code + '|' + Number(e.freq); if (seen.has(k)) return false; seen.add(k); return true; });
    // A three-character ident is searched for with its comma ("ABC,"); a four-character one is
    // quoted so that "ABC," never matches inside it ("XABC",).
    const field0 = ident.length === 3 ? ident : '"' + ident + '"';
    for (const e of entries) { lines.push(`${field0},${e.code},${e.freq}`); stats.kept++; }
  }
  return { lines, stats, airports: byAirport.size };
}

// ---- main ----------------------------------------------------------------------------------

function main(argv) {
  const args = {};
  for (let i = 2; i < argv.length; i += 2) args[argv[i].replace(/^--/, '')] = argv[i + 1];
  if (!args.db || !args.frequencies || !args.out) {
    console.error('usage: make_airdata.js --db FILE --frequencies FILE --out DIR [--sqlite3 PATH]');
    return 2;
  }
  const airports = readAirports(args.sqlite3 || 'sqlite3', args.db);
  if (airports.length < 1000) throw new Error(`only ${airports.length} airports in ${args.db}`);
  const known = new Set(airports.map((a) => a.ident));
  const radio = radioLines(parseCsv(fs.readFileSync(args.frequencies, 'utf8')), known);

  const apt = airports.map(aptLine);
  for (const l of apt) if (Buffer.byteLength(l) > 511) throw new Error('APT.dat line too long: ' + l);
  for (const l of radio.lines) if (l.length > 63) throw new Error('Radio.dat line too long: ' + l);

  fs.mkdirSync(args.out, { recursive: true });
  // Written beside, then renamed, so a reader never sees half a file.
  for (const [name, lines] of [['APT.dat', apt], ['Radio.dat', radio.lines]]) {
    const target = path.join(args.out, name);
    fs.writeFileSync(target + '.tmp', lines.join('\r\n') + '\r\n');
    fs.renameSync(target + '.tmp', target);
  }
  const s = radio.stats;
  console.log(`APT.dat: ${apt.length} airports; Radio.dat: ${radio.lines.length} lines for ` +
              `${radio.airports} airports (of ${s.rows} source rows: ${s.noCode} without a service code, ` +
              `${s.outOfBand} outside 108-137 MHz, ${s.unknownAirport} of airports not listed)`);
  return 0;
}

if (require.main === module) {
  try {
    process.exitCode = main(process.argv);
  } catch (e) {
    console.error('make_airdata: ' + e.message);
    process.exitCode = 1;
  }
}

module.exports = { serviceCodes, airbandFrequency, parseCsv, quotedText };
