#!/usr/bin/env node
// Renders every image that Tavrin Client compiles in under ":/imgs/" into resources/ (each PNG
// also at twice its size as "<name>@2x.png" for high-density screens), the tray icons, the
// application icon (resources/icons/hicolor/), writes resources/tavrin.qrc and copies the licence
// texts of the packages the images come from.
//
// Run by hand at development time (see scripts/resources/generate.sh); the build only uses the
// committed results. Sources: the country flags of the npm package flag-icons (MIT), glyphs of
// the npm package @mdi/svg (Apache-2.0), the Roboto font of Debian's fonts-roboto-unhinted
// (Apache-2.0) and the shapes drawn below. Rendering: @resvg/resvg-js.
'use strict';

const fs = require('fs');
const path = require('path');
const { Resvg } = require('@resvg/resvg-js');

const repoDir = path.resolve(__dirname, '..', '..');
const outDir = path.join(repoDir, 'resources');
const modulesDir = path.join(__dirname, 'node_modules');
const robotoDir = '/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF';

// Design colours.
const colour = {
    brand: '#009bdd',
    brandLight: '#42b0e3',
    brandDark: '#0a7fb5',
    window: '#f7f7f7',
    icon: '#42b0e3',
    iconDisabled: '#bdbdc1',
    field: '#a3a3a6',
    star: '#b9b9bd',
    starLit: '#ffc62b',
    starLitEdge: '#e8a600',
    amber: '#ffc62b',
    amberEdge: '#b98700',
    grey: '#8f9094',
    greyEdge: '#55565a',
    blueEdge: '#0a78aa',
};

// The flag codes the server chooser knows; "UK" is drawn from flag-icons' "gb".
const flagCodes = (
    'AD AF AG AI AL AM AO AR AS AT AU AW AZ BA BB BD BE BF BG BH BI BJ BM BN BO BR BS BT BW ' +
    'BY BZ CA CD CF CG CH CI CK CL CM CN CO CR CU CV CX CY CZ DE DJ DK DM DO DZ EC EE EG ER ES ' +
    'ET FI FJ FK FM FO FR GA GD GE GH GI GL GM GN GP GQ GR GS GU GW GY HK HN HR HT HU ID IE IL ' +
    'IN IQ IR IS IT JM JO JP KE KG KH KI KM KN KP KR KW KY KZ LA LB LC LI LK LR LS LT LU LV LY ' +
    'MA MC MD MG MH MK ML MM MN MO MQ MR MS MT MU MV MW MX MY MZ NA NE NF NG NI NL NO NP NR NU ' +
    'NZ OM PA PE PF PG PH PK PL PM PN PR PT PW PY QA RO RS RU RW SA SB SC SD SE SG SI SK SL SM ' +
    'SN SO SR ST SV SY SZ TC TD TG TH TJ TL TM TN TO TR TT TV TW TZ UA UG UK US UY UZ VA VC VE ' +
    'VG VI VN VU WF WS YE ZA ZM ZW').split(' ');

const fontOptions = {
    fontFiles: ['Roboto-Regular.ttf', 'Roboto-Medium.ttf', 'Roboto-Bold.ttf'].map(
            (file) => path.join(robotoDir, file)),
    loadSystemFonts: false,
    defaultFontFamily: 'Roboto',
};

// ---------------------------------------------------------------------------------------------
// Rendering helpers

function svgDocument(width, height, body, viewBox) {
    const box = viewBox || `0 0 ${width} ${height}`;
    return `<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" ` +
            `width="${width}" height="${height}" viewBox="${box}">${body}</svg>`;
}

function renderSvg(svg, width, height) {
    const image = new Resvg(svg, { font: fontOptions }).render();
    if (image.width !== width || image.height !== height)
        throw new Error(`rendered ${image.width}x${image.height}, expected ${width}x${height}`);
    return image;
}

const written = [];
let writtenCount = 0;

// Writes a file under resources/; unless `options.resource` is false it goes into tavrin.qrc.
function writeOutput(relativePath, data, options) {
    const file = path.join(outDir, relativePath);
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, data);
    ++writtenCount;
    if (!options || options.resource !== false)
        written.push(relativePath);
}

// The name of the double-size version of a PNG: "flags/DE.png" -> "flags/DE@2x.png".
function doubleName(relativePath) {
    return relativePath.replace(/\.png$/, '@2x.png');
}

// Renders `body` at its own size and, from the same drawing, at twice the size.
function writePng(relativePath, width, height, body, viewBox) {
    const image = renderSvg(svgDocument(width, height, body, viewBox), width, height);
    writeOutput(relativePath, image.asPng());
    writeDoublePng(relativePath, width, height, body, viewBox);
}

// The drawing of a `width` x `height` image rendered at twice the size.
function writeDoublePng(relativePath, width, height, body, viewBox) {
    const box = viewBox || `0 0 ${width} ${height}`;
    const image = renderSvg(svgDocument(2 * width, 2 * height, body, box), 2 * width, 2 * height);
    writeOutput(doubleName(relativePath), image.asPng());
}

// The path data of an icon of the @mdi/svg package (24 x 24 view box).
function mdiPath(name) {
    const svg = fs.readFileSync(path.join(modulesDir, '@mdi', 'svg', 'svg', name + '.svg'), 'utf8');
    const match = /<path d="([^"]+)"/.exec(svg);
    if (!match)
        throw new Error('no path in icon ' + name);
    return match[1];
}

function mdiGlyph(name, fill, transform) {
    const t = transform ? ` transform="${transform}"` : '';
    return `<path d="${mdiPath(name)}" fill="${fill}"${t}/>`;
}

// ---------------------------------------------------------------------------------------------
// The Tavrin mark: a shield with a keyhole, drawn in a 24 x 24 box.

const shieldPath = 'M12 1.6 L20.6 4.9 V11.1 C20.6 16.5 16.9 21.1 12 22.6 ' +
        'C7.1 21.1 3.4 16.5 3.4 11.1 V4.9 Z';

// The keyhole; `scale` enlarges it about its centre for very small renderings.
function keyholePath(scale) {
    const s = scale || 1;
    const cx = 12, cy = 12;
    const p = (x, y) => `${(cx + (x - cx) * s).toFixed(3)} ${(cy + (y - cy) * s).toFixed(3)}`;
    const r = (2.45 * s).toFixed(3);
    return `M${p(10.85, 11.6)} A${r} ${r} 0 1 1 ${p(13.15, 11.6)} ` +
            `L${p(13.85, 16.6)} Q${p(13.95, 17.3)} ${p(13.25, 17.3)} ` +
            `L${p(10.75, 17.3)} Q${p(10.05, 17.3)} ${p(10.15, 16.6)} Z`;
}

let maskCounter = 0;

// The mark filled with `fill`, its keyhole cut out (transparent), placed by `transform`.
function markCutOut(fill, transform, options) {
    const opts = options || {};
    const id = 'keyhole' + maskCounter++;
    const stroke = opts.stroke
            ? `<path d="${shieldPath}" fill="none" stroke="${opts.stroke}" ` +
                    `stroke-width="${opts.strokeWidth}" stroke-linejoin="round"/>`
            : '';
    return `<g transform="${transform}">` +
            `<mask id="${id}" maskUnits="userSpaceOnUse" x="0" y="0" width="24" height="24">` +
            `<rect width="24" height="24" fill="#fff"/>` +
            `<path d="${keyholePath(opts.keyholeScale)}" fill="#000"/></mask>` + stroke +
            `<path d="${shieldPath}" fill="${fill}" mask="url(#${id})"/>` +
            (opts.keyholeFill
                     ? `<path d="${keyholePath(opts.keyholeScale)}" fill="${opts.keyholeFill}"/>`
                     : '') +
            `</g>`;
}

function brandGradient(id, x1, y1, x2, y2) {
    return `<linearGradient id="${id}" gradientUnits="userSpaceOnUse" x1="${x1}" y1="${y1}" ` +
            `x2="${x2}" y2="${y2}"><stop offset="0" stop-color="${colour.brandLight}"/>` +
            `<stop offset="1" stop-color="${colour.brand}"/></linearGradient>`;
}

// ---------------------------------------------------------------------------------------------
// Window images

function titleBackground() {
    // A calm blue band, the same in every column so that it repeats horizontally.
    const body = `<defs><linearGradient id="band" x1="0" y1="0" x2="0" y2="1">` +
            `<stop offset="0" stop-color="#4db5e6"/><stop offset="1" stop-color="#13a1df"/>` +
            `</linearGradient></defs>` +
            `<rect width="344" height="48" fill="url(#band)"/>` +
            `<rect y="0" width="344" height="1" fill="#ffffff" fill-opacity="0.18"/>` +
            `<rect y="47" width="344" height="1" fill="#0a8cc4"/>`;
    writePng('title-background.png', 344, 48, body);
}

function titleLogo() {
    // White mark and wordmark on transparent, left aligned (the label shows it at its left).
    const size = 20, weight = 500;
    const body = markCutOut('#ffffff', 'translate(3 1.5) scale(1)') +
            `<text x="33" y="20.5" font-family="Roboto" font-weight="${weight}" ` +
            `font-size="${size}" fill="#ffffff" letter-spacing="0.3">Tavrin</text>`;
    writePng('title-logo.png', 136, 27, body);
}

// Horizontal extent [left, right) of the visible pixels of a rendered image.
function visibleColumns(image) {
    let left = image.width, right = 0;
    for (let y = 0; y < image.height; ++y) {
        for (let x = 0; x < image.width; ++x) {
            if (image.pixels[(y * image.width + x) * 4 + 3] > 0) {
                left = Math.min(left, x);
                right = Math.max(right, x + 1);
            }
        }
    }
    return [left, right];
}

function logoWithText() {
    // Brand blue mark and wordmark on transparent; it sits on the light login page, centred.
    const size = 54, weight = 500, spacing = 0.5;
    const body = `<defs>${brandGradient('markFill', 0, 0, 0, 24)}</defs>` +
            markCutOut('url(#markFill)', 'translate(0 3) scale(3.5)') +
            `<text x="80" y="65" font-family="Roboto" font-weight="${weight}" ` +
            `font-size="${size}" fill="${colour.brand}" letter-spacing="${spacing}">Tavrin</text>`;
    const [left, right] = visibleColumns(renderSvg(svgDocument(300, 90, body), 300, 90));
    const shift = Math.round((300 - (right - left)) / 2) - left;
    writePng('logo-with-text.png', 300, 90, `<g transform="translate(${shift} 0)">${body}</g>`);
}

function windowButtons() {
    writePng('window-minimize.png', 12, 12, '<rect x="1" y="8" width="10" height="2" fill="#ffffff"/>');
    writePng('window-hide.png', 12, 12,
            '<path d="M2 2 L10 10 M10 2 L2 10" stroke="#ffffff" stroke-width="1.9" ' +
                    'stroke-linecap="round"/>');
}

// ---------------------------------------------------------------------------------------------
// Icons

function icon24(file, glyph, fill) {
    writePng(file, 24, 24, mdiGlyph(glyph, fill));
}

function icons() {
    icon24('login-user.png', 'account-outline', colour.field);
    icon24('login-lock.png', 'lock-outline', colour.field);
    for (const [file, glyph] of [['encryption', 'shield-lock-outline'],
                                 ['clock', 'clock-outline'],
                                 ['key', 'key-variant']]) {
        icon24(file + '.png', glyph, colour.icon);
        icon24(file + '-disabled.png', glyph, colour.iconDisabled);
    }
    const starTransform = 'translate(-0.5 -0.5) scale(0.8333)';
    writePng('star.png', 19, 19, mdiGlyph('star-outline', colour.star, starTransform));
    writePng('star-lit.png', 19, 19,
            `<g transform="${starTransform}"><path d="${mdiPath('star')}" fill="${colour.starLit}" ` +
                    `stroke="${colour.starLitEdge}" stroke-width="0.9" stroke-linejoin="round"/></g>`);
}

function chooseServerButton() {
    // White globe over a chevron on transparent; drawn on the light part of the chooser's face.
    const body = mdiGlyph('earth', '#ffffff', 'translate(13 8) scale(1.333)') +
            '<path d="M21 45 L29 52 L37 45" fill="none" stroke="#ffffff" stroke-width="3" ' +
            'stroke-linecap="round" stroke-linejoin="round"/>';
    writePng('choose-server-combo-button.png', 58, 62, body);
}

function locationPin() {
    // The map marker glyph spans x 5..19 and y 2..22 of its box; scale it to fill 320 x 512.
    const scale = Math.min(300 / 14, 500 / 20);
    const tx = 160 - 12 * scale, ty = 256 - 12 * scale;
    const body = `<defs>${brandGradient('pinFill', 0, 2, 0, 22)}</defs>` +
            mdiGlyph('map-marker', 'url(#pinFill)',
                    `translate(${tx.toFixed(3)} ${ty.toFixed(3)}) scale(${scale.toFixed(4)})`);
    writePng('location_pin_fill.png', 320, 512, body);
}

// ---------------------------------------------------------------------------------------------
// Flags

function flagSvgBody(code) {
    const source = code === 'UK' ? 'gb' : code.toLowerCase();
    const svg = fs.readFileSync(
            path.join(modulesDir, 'flag-icons', 'flags', '4x3', source + '.svg'), 'utf8');
    // Ids of the source drawing are made unique per flag, the outer element becomes a nested
    // viewport that fills the 32 x 23 image (cropping half a pixel top and bottom).
    const inner = svg.replace(/<\?xml[^>]*>/, '')
                          .replace(/<svg\b[^>]*>/, '')
                          .replace(/<\/svg>\s*$/, '');
    const viewBox = /viewBox="([^"]+)"/.exec(svg)[1];
    return `<svg x="0" y="0" width="32" height="23" viewBox="${viewBox}" ` +
            `preserveAspectRatio="xMidYMid slice">${inner}</svg>`;
}

// True when the rendered flag covers its whole rectangle (all but the rounded corners).
function fillsRectangle(image) {
    let transparent = 0;
    for (let i = 3; i < image.pixels.length; i += 4) {
        if (image.pixels[i] < 128)
            ++transparent;
    }
    return transparent <= 8;
}

function flags() {
    const clip = `<defs><clipPath id="flagShape"><rect width="32" height="23" rx="2" ry="2"/>` +
            `</clipPath></defs>`;
    // A faint edge keeps white parts of a flag apart from a white list row; a flag that is not
    // rectangular (Nepal) keeps its own outline instead.
    const edge = `<rect x="0.5" y="0.5" width="31" height="22" rx="1.6" ry="1.6" fill="none" ` +
            `stroke="#000000" stroke-opacity="0.16"/>`;
    for (const code of flagCodes) {
        const flag = `<g clip-path="url(#flagShape)">${flagSvgBody(code)}</g>`;
        const plain = renderSvg(svgDocument(32, 23, clip + flag), 32, 23);
        if (fillsRectangle(plain)) {
            writePng(`flags/${code}.png`, 32, 23, clip + flag + edge);
        } else {
            writeOutput(`flags/${code}.png`, plain.asPng());
            writeDoublePng(`flags/${code}.png`, 32, 23, clip + flag);
        }
    }
    // "Automatic": a blue disc with a white lightning bolt, the shape of a round badge.
    const auto = `<defs>${brandGradient('autoFill', 0, 1, 0, 32)}</defs>` +
            `<circle cx="16" cy="16.5" r="15" fill="url(#autoFill)"/>` +
            `<circle cx="16" cy="16.5" r="14.5" fill="none" stroke="${colour.brandDark}" ` +
            `stroke-opacity="0.45"/>` +
            mdiGlyph('lightning-bolt', '#ffffff', 'translate(4 4.5)');
    writePng('flags/auto.png', 32, 33, auto);
}

// ---------------------------------------------------------------------------------------------
// Tray icons: .ico files holding an image, drawn from the mark, for every size a panel or the
// task bar asks for (the 256 pixel one as PNG).

const traySizes = [16, 20, 22, 24, 32, 40, 48, 64, 96, 128, 256];

function trayImage(size, fill, edge) {
    // Small sizes get a larger keyhole and a relatively stronger edge to stay readable.
    const small = size <= 20;
    const keyholeScale = small ? 1.3 : 1.1;
    const strokeWidth = size <= 24 ? 24 / size * 1.0 : 1.1;
    const body = markCutOut(fill, 'translate(12 12) scale(1.2 1.06) translate(-12 -12.1)', {
        stroke: edge,
        strokeWidth: strokeWidth,
        keyholeScale: keyholeScale,
        keyholeFill: '#ffffff',
    });
    return renderSvg(svgDocument(size, size, body, '0 0 24 24'), size, size);
}

// An icon image as a 32-bit DIB with its AND mask, as icon files carry small images.
function dibEntry(image) {
    const size = image.width;
    const pixels = image.pixels; // RGBA, top-down
    const header = Buffer.alloc(40);
    header.writeUInt32LE(40, 0);
    header.writeInt32LE(size, 4);
    header.writeInt32LE(size * 2, 8);
    header.writeUInt16LE(1, 12);
    header.writeUInt16LE(32, 14);
    header.writeUInt32LE(0, 16);
    header.writeUInt32LE(size * size * 4, 20);
    const xor = Buffer.alloc(size * size * 4);
    const maskStride = Math.ceil(size / 32) * 4;
    const and = Buffer.alloc(maskStride * size);
    for (let y = 0; y < size; ++y) {
        const row = size - 1 - y; // bottom-up
        for (let x = 0; x < size; ++x) {
            const src = (y * size + x) * 4;
            const dst = (row * size + x) * 4;
            xor[dst] = pixels[src + 2];
            xor[dst + 1] = pixels[src + 1];
            xor[dst + 2] = pixels[src];
            xor[dst + 3] = pixels[src + 3];
            if (pixels[src + 3] === 0)
                and[row * maskStride + (x >> 3)] |= 0x80 >> (x & 7);
        }
    }
    return Buffer.concat([header, xor, and]);
}

function icoFile(images) {
    const entries = images.map((image) => (image.width >= 256 ? image.asPng() : dibEntry(image)));
    const header = Buffer.alloc(6 + 16 * images.length);
    header.writeUInt16LE(0, 0);
    header.writeUInt16LE(1, 2);
    header.writeUInt16LE(images.length, 4);
    let offset = header.length;
    images.forEach((image, i) => {
        const at = 6 + 16 * i;
        header.writeUInt8(image.width >= 256 ? 0 : image.width, at);
        header.writeUInt8(image.height >= 256 ? 0 : image.height, at + 1);
        header.writeUInt8(0, at + 2);
        header.writeUInt8(0, at + 3);
        header.writeUInt16LE(1, at + 4);
        header.writeUInt16LE(32, at + 6);
        header.writeUInt32LE(entries[i].length, at + 8);
        header.writeUInt32LE(offset, at + 12);
        offset += entries[i].length;
    });
    return Buffer.concat([header, ...entries]);
}

function trayIcons() {
    for (const [name, fill, edge] of [['tray_off', colour.grey, colour.greyEdge],
                                      ['tray_connect', colour.amber, colour.amberEdge],
                                      ['tray_on', colour.brandLight, colour.blueEdge]]) {
        const images = traySizes.map((size) => trayImage(size, fill, edge));
        writeOutput(`tray/${name}.ico`, icoFile(images));
    }
}

// ---------------------------------------------------------------------------------------------
// Application icon: the white mark on a rounded square of brand blue, its keyhole showing the
// blue. A standalone SVG (plain shapes, one gradient) in the freedesktop icon theme layout, and
// PNGs of it for the usual launcher sizes, also compiled in for the window icon.

const appIconSizes = [16, 22, 24, 32, 48, 64, 128, 256];
const appIconName = 'tavrin-client';
const appIconAliases = [];

// The keyhole of the application icon: a round head over a straight, narrow stem, bolder than
// the keyhole of the other renderings so that it still reads as a keyhole at 16 pixels.
function appKeyholePath() {
    const cy = 10.04, r = 3.44, halfWidth = 1.72, bottom = 18.1;
    const dy = Math.sqrt(r * r - halfWidth * halfWidth);
    const f = (v) => v.toFixed(3);
    return `M${f(12 - halfWidth)} ${f(cy + dy)} A${f(r)} ${f(r)} 0 1 1 ${f(12 + halfWidth)} ` +
            `${f(cy + dy)} L${f(12 + halfWidth)} ${f(bottom)} L${f(12 - halfWidth)} ${f(bottom)} Z`;
}

function appIconSvg() {
    // 256 x 256 box; the mark's 24 unit box is scaled about its centre so that the shield's
    // sides fall on whole pixels at 16 x 16. The shield and its keyhole are one even-odd path,
    // so the keyhole is a hole without a mask.
    const scale = 9.3;
    const tx = (128 - 12 * scale).toFixed(3), ty = (128 - 11.93 * scale).toFixed(3);
    return '<?xml version="1.0" encoding="UTF-8"?>\n' +
            '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" ' +
            'viewBox="0 0 256 256">\n' +
            '  <title>Tavrin Client</title>\n' +
            '  <defs>\n' +
            '    <linearGradient id="tile" gradientUnits="userSpaceOnUse" x1="0" y1="0" ' +
            'x2="0" y2="256">\n' +
            `      <stop offset="0" stop-color="${colour.brandLight}"/>\n` +
            `      <stop offset="1" stop-color="${colour.brand}"/>\n` +
            '    </linearGradient>\n' +
            '  </defs>\n' +
            '  <rect width="256" height="256" rx="56" ry="56" fill="url(#tile)"/>\n' +
            `  <path transform="translate(${tx} ${ty}) scale(${scale})" fill="#ffffff" ` +
            `fill-rule="evenodd"\n        d="${shieldPath} ${appKeyholePath()}"/>\n` +
            '</svg>\n';
}

function appIcon() {
    const svg = appIconSvg();
    writeOutput(`icons/hicolor/scalable/apps/${appIconName}.svg`, svg, { resource: false });
    for (const size of appIconSizes) {
        const image = new Resvg(svg, { fitTo: { mode: 'width', value: size } }).render();
        if (image.width !== size || image.height !== size)
            throw new Error(`application icon rendered ${image.width}x${image.height}`);
        const file = `icons/hicolor/${size}x${size}/apps/${appIconName}.png`;
        writeOutput(file, image.asPng(), { resource: false });
        appIconAliases.push([`app/${appIconName}-${size}.png`, file]);
    }
    // The Windows program's own icon (its file, the Start menu, the installer), every size
    // Explorer and the task bar ask for.
    const icoImages = [16, 20, 24, 32, 40, 48, 64, 256].map(
            (size) => new Resvg(svg, { fitTo: { mode: 'width', value: size } }).render());
    writeOutput(`icons/${appIconName}.ico`, icoFile(icoImages), { resource: false });
}

// ---------------------------------------------------------------------------------------------
// Resource collection file and licence texts

function writeQrc() {
    // Each double-size PNG follows its own-size file.
    const doubles = new Set(written.filter((file) => file.endsWith('@2x.png')));
    const files = written.filter((file) => !doubles.has(file)).sort();
    const lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/imgs">'];
    for (const file of files) {
        lines.push(`    <file>${file}</file>`);
        if (doubles.has(doubleName(file))) {
            lines.push(`    <file>${doubleName(file)}</file>`);
            doubles.delete(doubleName(file));
        }
    }
    if (doubles.size)
        throw new Error('double-size images without their own-size file: ' + [...doubles]);
    for (const [alias, file] of appIconAliases)
        lines.push(`    <file alias="${alias}">${file}</file>`);
    lines.push('</qresource>', '</RCC>', '');
    fs.writeFileSync(path.join(outDir, 'tavrin.qrc'), lines.join('\n'));
}

function copyLicences() {
    const dir = path.join(outDir, 'licenses');
    fs.mkdirSync(dir, { recursive: true });
    fs.copyFileSync(path.join(modulesDir, 'flag-icons', 'LICENSE'),
            path.join(dir, 'flag-icons-LICENSE.txt'));
    fs.copyFileSync(path.join(modulesDir, '@mdi', 'svg', 'LICENSE'),
            path.join(dir, 'mdi-svg-LICENSE.txt'));
    fs.copyFileSync('/usr/share/common-licenses/Apache-2.0', path.join(dir, 'Apache-2.0.txt'));
    fs.copyFileSync('/usr/share/doc/fonts-roboto-unhinted/copyright',
            path.join(dir, 'fonts-roboto-unhinted-copyright.txt'));
}

function main() {
    fs.rmSync(path.join(outDir, 'flags'), { recursive: true, force: true });
    fs.rmSync(path.join(outDir, 'tray'), { recursive: true, force: true });
    fs.rmSync(path.join(outDir, 'icons'), { recursive: true, force: true });
    titleBackground();
    titleLogo();
    logoWithText();
    windowButtons();
    icons();
    chooseServerButton();
    locationPin();
    flags();
    trayIcons();
    appIcon();
    writeQrc();
    copyLicences();
    console.log(`generate: ${writtenCount} files written to ${outDir}`);
}

main();
