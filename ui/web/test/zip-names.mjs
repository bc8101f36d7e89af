// The entry names of the page's zips (worker.js's safeNames), checked in Node without a browser:
// names made to climb out of the folder, disguise their extension, steer a terminal or open a
// Windows device. Prints one line a failed check and closes with "N passed, M failed".
import { readFileSync } from 'node:fs';
import { runInNewContext } from 'node:vm';

const worker = readFileSync(new URL('../page/worker.js', import.meta.url), 'utf8');
const context = {};
runInNewContext(`${worker}\nthis.safeNames = safeNames;`, context);

const cases = [
    // [names as the outputs came, names in the zip]
    [['..\\..\\evil.xml', '../../etc/passwd.gpx', '..'], ['_._evil.xml', '_._etc_passwd.gpx', '_']],
    [['invoice\u202Eslx.xml', 'a\u2066b\u2069\u200F.kml'], ['invoice_slx.xml', 'a_b__.kml']],
    [['\u001b]0;title\u0007.xml', 'tab\there\u0085.csv', 'a:b*c?"d"<e>|f.gpx'], ['_]0;title_.xml', 'tab_here_.csv', 'a_b_c__d__e__f.gpx']],
    [['CON', 'nul.xml', 'Com1.tar.gz', 'lpt9 .kml', 'console.xml', 'con-1.xml'], ['_CON', '_nul.xml', '_Com1.tar.gz', '_lpt9 .kml', 'console.xml', 'con-1.xml']],
    [['東京駅 丸の内-1.xml', '札幌 ♨ 🍜.gpx', ' .hidden. '], ['東京駅 丸の内-1.xml', '札幌 ♨ 🍜.gpx', 'hidden']],
    // Names made the same are told apart, Windows' case folding included.
    [['a/b.xml', 'a\\b.xml', 'A_B.xml', 'a_b (2).xml'], ['a_b.xml', 'a_b (2).xml', 'A_B (3).xml', 'a_b (2) (2).xml']],
    [['lone\ud800.xml'], ['lone_.xml']],
];
let passed = 0, failed = 0;
for (const [names, expected] of cases) {
    const got = context.safeNames(names);
    if (JSON.stringify(got) === JSON.stringify(expected)) passed++;
    else {
        failed++;
        console.log(`FAIL zip names ${JSON.stringify(names)}: ${JSON.stringify(got)}, wanted ${JSON.stringify(expected)}`);
    }
}
console.log(`${passed} passed, ${failed} failed`);
process.exitCode = failed ? 1 : 0;
