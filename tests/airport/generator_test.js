// The data generator: service-type mapping, the airband, and a whole run on a tiny database.
//   node generator_test.js GENERATOR.js SQLITE3
'use strict';
const assert = require('assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');

const generatorPath = process.argv[2];
const sqlite3 = process.argv[3] || 'sqlite3';
const gen = require(path.resolve(generatorPath));

// Service types, including combined ones and the source's odd spellings.
const codes = {
  'ATIS': [1], 'D-ATIS': [1], 'ATIS ARR': [1], 'ATIS/AWOS': [1, 12], 'MULTICOM': [2], 'UNIC': [3],
  'CTAF': [4], 'CTAF/UNICOM': [3, 4], 'GND': [5], 'Ground': [5], 'TWR': [6], 'twr': [6], 'TWR2': [6],
  'CLD': [7], 'CLNC DEL': [7], 'C/D': [7], 'APP': [8], 'RKTN_APP': [8], 'DEP': [9], 'A/D': [8, 9],
  'APP/DEP': [8, 9], 'Appr & dep': [8, 9], 'TWR/APP': [6, 8], 'CNTR': [10], 'ACC': [10],
  'Area control': [10], 'FSS': [11], 'AWOS-3P': [12], 'ASOS': [12],
  'A/G': [], 'AFIS': [], 'INFO': [], 'RDO': [], 'MISC': [], '8.33': [], '': [], 'A/A': [],
};
for (const [text, expected] of Object.entries(codes))
  assert.deepStrictEqual(gen.serviceCodes(text), expected, `service type "${text}"`);

// Airband 108-137 MHz, written as the source wrote it.
assert.strictEqual(gen.airbandFrequency('118.025'), '118.025');
assert.strictEqual(gen.airbandFrequency('122.8'), '122.8');
assert.strictEqual(gen.airbandFrequency('108'), '108');
assert.strictEqual(gen.airbandFrequency('137.000'), '137.000');
for (const bad of ['107.99', '137.01', '243.0', '3023', '', 'nan', '1e2', '-118.1'])
  assert.strictEqual(gen.airbandFrequency(bad), null, `frequency "${bad}"`);

// CSV with quoted commas and doubled quotes; names quoted without quotes of their own.
assert.deepStrictEqual(gen.parseCsv('a,"b, c","say ""hi""",\r\n1,2,3,4'),
                       [['a', 'b, c', 'say "hi"', ''], ['1', '2', '3', '4']]);
assert.strictEqual(gen.quotedText('Foo "Bar", Baz\n', 200), '"Foo \'Bar\', Baz"');
assert.ok(Buffer.byteLength(gen.quotedText('é'.repeat(300), 200)) <= 202);

// A whole run.
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'airdata-'));
try {
  const db = path.join(dir, 'airports.sqlite');
  execFileSync(sqlite3, [db, `
    CREATE TABLE airports (icao TEXT, type TEXT, name TEXT, latitude REAL, longitude REAL,
                           elevation_ft INTEGER, country_code TEXT);
    INSERT INTO airports VALUES
      ('ZSMA', 'small_airport', 'Small, "Strip"', 10.5, 20.25, 100, 'XX'),
      ('ABC', 'heliport', 'Pad', -1.5, -2.5, 5, 'XX'),
      ('XABC', 'large_airport', 'Big', 50.033333, 8.570556, 364, 'DE'),
      ('OLD1', 'closed', 'Gone', 1, 1, 0, 'XX'),
      ('US-1234', 'small_airport', 'Long ident', 1, 1, 0, 'US');`]);
  // The generator refuses a suspiciously small list.
  execFileSync(sqlite3, [db, `WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999)
    INSERT INTO airports SELECT printf('F%03d', i), 'seaplane_base', 'F', i % 80, 0, 0, 'XX' FROM n;`]);
  const csv = path.join(dir, 'frequencies.csv');
  fs.writeFileSync(csv, [
    '"id","airport_ref","airport_ident","type","description","frequency_mhz"',
    '1,1,"XABC","TWR","TOWER",119.9', '2,1,"XABC","A/D","APP, DEP",120.8', '3,1,"XABC","GND",,121.700',
    '4,2,"ABC","UNIC",,122.95', '5,3,"OLD1","TWR",,118.1', '6,1,"XABC","AFIS",,118.5',
    '7,1,"XABC","TWR",,257.8', '8,1,"XABC","TWR","dup",119.9', ''].join('\n'));
  const out = path.join(dir, 'out');
  execFileSync(process.execPath, [generatorPath, '--db', db, '--frequencies', csv, '--out', out, '--sqlite3', sqlite3]);

  const apt = fs.readFileSync(path.join(out, 'APT.dat'), 'utf8').split('\r\n');
  assert.strictEqual(apt[0], 'XABC,large_airport,"Big",50.033333,8.570556,364,DE');
  assert.strictEqual(apt[1], 'ZSMA,small_airport,"Small, \'Strip\'",10.5,20.25,100,XX');
  assert.strictEqual(apt[1002], 'ABC,heliport,"Pad",-1.5,-2.5,5,XX');
  assert.strictEqual(apt.length, 1004);  // 1003 lines and the last line end
  assert.ok(!apt.some((l) => l.startsWith('OLD1') || l.startsWith('US-1')));

  const radio = fs.readFileSync(path.join(out, 'Radio.dat'), 'utf8');
  assert.strictEqual(radio, 'ABC,3,122.95\r\n"XABC",5,121.700\r\n"XABC",6,119.9\r\n' +
                            '"XABC",8,120.8\r\n"XABC",9,120.8\r\n');
  // The three-letter ident with its comma does not occur in the four-letter airport's lines.
  assert.strictEqual(radio.split('\r\n').filter((l) => l.toUpperCase().includes('ABC,')).length, 1);
} finally {
  fs.rmSync(dir, { recursive: true, force: true });
}
console.log('generator tests passed');
