// The towns (大字・町域) of KEN_ALL's rows, as jquery-jpostal-ja's json/*.json keeps them: postal
// code, prefecture, municipality, town, street and business (a business's own code), then the
// three readings in half-width katakana. A name is cut of its notes in （…） (its reading of its
// (…)); a row whose name opens a note it does not close goes on in the next rows of its postal
// code; rows that name no town are left out: 以下に掲載がない場合, …の次に…番地がくる場合, …一円
// (the whole municipality; 一円 alone is a town of that name in Shiga), lists (、～・) and the
// floors of a tall building (…１階).
'use strict';

const stripNotes = (text, open, close) => {
    let out = '', depth = 0;
    for (const c of text) {
        if (c === open) ++depth;
        else if (c === close) depth = Math.max(0, depth - 1);
        else if (depth === 0) out += c;
    }
    return out;
};
const opens = (text) => (text.match(/（/g) || []).length > (text.match(/）/g) || []).length;

// [prefecture + municipality, town, reading] for each town's first row; and how many had no reading.
function townsOf(rows) {
    const towns = [];
    let unread = 0;
    for (let i = 0; i < rows.length; ++i) {
        let [zip, pref, city, town, street, office, , , reading] = rows[i];
        if (street || office) continue;
        while (opens(town) && i + 1 < rows.length && rows[i + 1][0] === zip && rows[i + 1][2] === city) {
            town += rows[i + 1][3];
            reading = (reading || '') + (rows[i + 1][8] || '');
            ++i;
        }
        if (!town || /以下に掲載がない場合|の次に.*番地.*がくる場合/.test(town) || (town.endsWith('一円') && town !== '一円')) continue;
        const name = stripNotes(town, '（', '）').trim();
        const kana = stripNotes(reading || '', '(', ')').trim();
        if (!name || /[、～・]/.test(name) || /[０-９]階$/.test(name)) continue;  // a list, a building's floor
        if (!kana) {
            ++unread;
            continue;
        }
        towns.push([pref + city, name, kana]);
    }
    return {towns, unread};
}

module.exports = {townsOf};
