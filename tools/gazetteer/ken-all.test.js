// KEN_ALL's oddities, each as its rows come: node ken-all.test.js prints "N passed, M failed".
'use strict';
const {townsOf} = require('./ken-all');

const row = (zip, city, town, reading, street = '', office = '') => [zip, '滋賀県', city, town, street, office, 'ｼｶﾞｹﾝ', '', reading];
const cases = [
    ['a town', [row('_5220301', '犬上郡多賀町', '河内', 'ｶﾜﾁ')], [['滋賀県犬上郡多賀町', '河内', 'ｶﾜﾁ']]],
    ['no town listed', [row('_5220300', '犬上郡多賀町', '以下に掲載がない場合', 'ｲｶﾆｹｲｻｲｶﾞﾅｲﾊﾞｱｲ')], []],
    ['the whole municipality', [row('_5200000', '犬上郡甲良町', '甲良町一円', 'ｺｳﾗﾁｮｳｲﾁｴﾝ')], []],
    ['一円, a town', [row('_5220317', '犬上郡多賀町', '一円', 'ｲﾁｴﾝ')], [['滋賀県犬上郡多賀町', '一円', 'ｲﾁｴﾝ']]],
    ['a number next', [row('_4090211', '北都留郡小菅村', '小菅村の次に６６４番地以降がくる場合', 'ｺｽｹﾞﾑﾗﾉﾂｷﾞﾆ664ﾊﾞﾝﾁｲｺｳｶﾞｸﾙﾊﾞｱｲ')], []],
    ['a note', [row('_1000003', '千代田区', '一ツ橋（１丁目）', 'ﾋﾄﾂﾊﾞｼ(1ﾁｮｳﾒ)')], [['滋賀県千代田区', '一ツ橋', 'ﾋﾄﾂﾊﾞｼ']]],
    ['a note over three rows', [row('_0285102', '葛巻町', '葛巻（第４０地割「５７番地１２５、１７６を除く」～', 'ｸｽﾞﾏｷ(ﾀﾞｲ40ﾁﾜﾘ'),
        row('_0285102', '葛巻町', '第４５地割', '~ﾀﾞｲ45ﾁﾜﾘ'), row('_0285102', '葛巻町', '）', ')'), row('_0285103', '葛巻町', '江刈', 'ｴｶﾘ')],
        [['滋賀県葛巻町', '葛巻', 'ｸｽﾞﾏｷ'], ['滋賀県葛巻町', '江刈', 'ｴｶﾘ']]],
    ['a list', [row('_0000001', '某町', '北町、南町', 'ｷﾀﾏﾁ､ﾐﾅﾐﾏﾁ')], []],
    ['a floor', [row('_4506201', '名古屋市中村区', '名駅ミッドランドスクエア（高層棟）１階', 'ﾒｲｴｷﾐｯﾄﾞﾗﾝﾄﾞｽｸｴｱ(ｺｳｿｳﾄｳ)1ｶｲ')], []],
    ['a business', [row('_0018501', '札幌市北区', '北二十九条西', 'ｷﾀ29ｼﾞｮｳﾆｼ', '２丁目１番１号', '学校')], []],
];
let passed = 0, failed = 0;
for (const [what, rows, expected] of cases) {
    const got = JSON.stringify(townsOf(rows).towns);
    if (got === JSON.stringify(expected)) {
        ++passed;
    } else {
        ++failed;
        console.log(`${what}: ${got}, not ${JSON.stringify(expected)}`);
    }
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
