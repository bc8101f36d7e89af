// The page's map: Leaflet, tiles of the GSI standard map when online, the listed points drawn on
// canvas tiles from the core's markers (protocol.markerNumbers doubles each, sorted by x).
// QuorvelMap({ say, protocol, table }): plot(lists, markers, bounds).
'use strict';
function QuorvelMap({ say, protocol, table }) {
    // The points are drawn from an index sorted by x, so that 100,000 of them pan as smoothly as ten.
    // On a touch screen one finger scrolls the page (the map would otherwise hold it over most of a
    // phone's screen) and two fingers move and zoom the map; a hint says so when one finger tries.
    const touch = window.matchMedia('(pointer: coarse)').matches;
    const map = L.map('map', { preferCanvas: true, worldCopyJump: false, dragging: !touch }).setView([36.5, 137.5], 5);
    const mapBox = map.getContainer();
    const overlay = (className, role) => {
        const element = L.DomUtil.create('div', className, mapBox);
        element.hidden = true;
        if (role) element.setAttribute('role', role);
        return element;
    };
    const hint = overlay('map-hint'), mapNote = overlay('map-note', 'status');
    hint.textContent = say.twoFingers;
    mapNote.textContent = say.noTiles;
    let hintTimer = 0;
    if (touch) {
        mapBox.addEventListener('touchmove', (event) => {
            if (event.touches.length !== 1) return;
            hint.hidden = false;
            clearTimeout(hintTimer);
            hintTimer = setTimeout(() => (hint.hidden = true), 1500);
        }, { passive: true });
        mapBox.addEventListener('touchstart', (event) => {
            if (event.touches.length > 1) hint.hidden = true;
        }, { passive: true });
    }
    // Every point in view again, after panning or zooming away.
    let allBounds = null;
    const fitAll = () => allBounds && map.fitBounds(allBounds, { padding: [20, 20], maxZoom: 15 });
    const FitControl = L.Control.extend({
        options: { position: 'topleft' },
        onAdd() {
            const button = L.DomUtil.create('button', 'leaflet-bar map-fit');
            button.type = 'button';
            button.textContent = '\u2922';
            button.title = say.fitAll;
            button.setAttribute('aria-label', say.fitAll);
            L.DomEvent.disableClickPropagation(button);
            L.DomEvent.on(button, 'click', fitAll);
            return button;
        },
    });
    new FitControl().addTo(map);
    // The view's centre in world pixels and its zoom, for tests that move the map.
    window.quorvelView = () => [map.project(map.getCenter()).x, map.project(map.getCenter()).y, map.getZoom()];
    const tiles = L.tileLayer('https://cyberjapandata.gsi.go.jp/xyz/std/{z}/{x}/{y}.png', {
        attribution: '<a href="https://maps.gsi.go.jp/development/ichiran.html" target="_blank" rel="noopener noreferrer">出典：国土地理院</a>',
        minZoom: 2,
        maxZoom: 18,
        referrerPolicy: 'no-referrer',
    });
    // Without the map's images the map says so in one line; the points stay. Offline, the site's
    // service worker may still hold the tiles viewed before.
    const goOnline = () => {
        const kept = Boolean(navigator.serviceWorker && navigator.serviceWorker.controller);
        mapNote.hidden = navigator.onLine || kept;
        if ((navigator.onLine || kept) && !map.hasLayer(tiles)) tiles.addTo(map);
    };
    window.addEventListener('online', goOnline);
    window.addEventListener('offline', goOnline);
    tiles.on('tileerror', () => (mapNote.hidden = false));
    tiles.on('tileload', () => (mapNote.hidden = true));
    goOnline();

    // A marker is a red disc on a white one a little larger; every white one of a tile lies under
    // every red one, so that close markers merge into one red shape with a white edge. The discs
    // are stamped into the tile's pixels from their antialiased shapes, measured once: thousands
    // of them cost a few milliseconds where as many drawn arcs or images cost a hundred.
    const stampOf = (radius) => {
        const canvas = document.createElement('canvas');
        canvas.width = canvas.height = 14;
        const context = canvas.getContext('2d');
        context.arc(7, 7, radius, 0, 2 * Math.PI);
        context.fill();
        const alpha = context.getImageData(0, 0, 14, 14).data;
        const stamp = [];
        for (let y = 0; y < 14; ++y) for (let x = 0; x < 14; ++x) if (alpha[(y * 14 + x) * 4 + 3]) stamp.push(x - 7, y - 7, alpha[(y * 14 + x) * 4 + 3]);
        return stamp;
    };
    const edgeStamp = stampOf(5.75), faceStamp = stampOf(5);
    const PointLayer = L.GridLayer.extend({
        setPoints(points) {
            this.points = points; // protocol.markerNumbers a marker (WebConverter.h: Markers), sorted by x
            this.redraw();
        },
        // Each tile is drawn in a task of its own: a map of dense tiles never holds the page for
        // all of them at once.
        createTile(coords, done) {
            const tile = L.DomUtil.create('canvas', 'leaflet-tile');
            const size = this.getTileSize();
            tile.width = size.x;
            tile.height = size.y;
            const points = this.points || new Float64Array(0);
            setTimeout(() => {
                drawTile(tile, coords, size, points);
                done(null, tile);
            }, 0);
            return tile;
        },
    });
    // The markers of a tile, one a 3-pixel cell, so that a dense tile costs no more than its cells.
    function drawTile(tile, coords, size, points) {
        const scale = Math.pow(2, coords.z);
        const left = (coords.x * size.x) / scale, top = (coords.y * size.y) / scale;
        const margin = 8 / scale;
        const width = size.x, height = size.y;
        const stride = Math.ceil(width / 3 + 6);
        const taken = new Uint8Array(stride * Math.ceil(height / 3 + 6));
        const edge = new Uint8Array(width * height), face = new Uint8Array(width * height);
        const stamp = (coverage, shape, cx, cy) => {
            for (let k = 0; k < shape.length; k += 3) {
                const x = cx + shape[k], y = cy + shape[k + 1];
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                const at = y * width + x;
                if (coverage[at] < shape[k + 2]) coverage[at] = shape[k + 2];
            }
        };
        let any = false;
        for (let i = lowerBound(points, left - margin); i < points.length && points[i] <= left + width / scale + margin; i += protocol.markerNumbers) {
            const x = (points[i] - left) * scale, y = (points[i + 1] - top) * scale;
            if (y < -8 || y > height + 8) continue;
            const cell = Math.floor((y + 6) / 3) * stride + Math.floor((x + 6) / 3);
            if (taken[cell]) continue;
            taken[cell] = 1;
            any = true;
            stamp(edge, edgeStamp, Math.round(x), Math.round(y));
            stamp(face, faceStamp, Math.round(x), Math.round(y));
        }
        if (!any) return;
        // Red (#d7263d) over white, both by their coverage.
        const image = new ImageData(width, height);
        const pixels = image.data;
        for (let at = 0; at < width * height; ++at) {
            const f = face[at] / 255, e = edge[at] / 255;
            const alpha = f + e * (1 - f);
            if (!alpha) continue;
            const white = 255 * e * (1 - f);
            pixels[4 * at] = (0xd7 * f + white) / alpha;
            pixels[4 * at + 1] = (0x26 * f + white) / alpha;
            pixels[4 * at + 2] = (0x3d * f + white) / alpha;
            pixels[4 * at + 3] = 255 * alpha;
        }
        tile.getContext('2d').putImageData(image, 0, 0);
    }
    // The offset of the first marker whose x is not below x.
    function lowerBound(points, x) {
        const n = protocol.markerNumbers;
        let low = 0, high = points.length / n;
        while (low < high) {
            const mid = (low + high) >> 1;
            if (points[mid * n] < x) low = mid + 1;
            else high = mid;
        }
        return low * n;
    }
    const layer = new PointLayer({ pane: 'overlayPane' }).addTo(map);
    let plotted = '';

    function plot(lists, markers, bounds) {
        layer.setPoints(markers);
        // A new set of files is fitted into view; an edit keeps the view.
        const key = lists.map((list) => `${list.input}:${list.count}`).join('|');
        allBounds = bounds;
        if (key !== plotted && bounds) fitAll();
        plotted = key;
    }

    map.on('click', (event) => {
        const points = layer.points || new Float64Array(0);
        const scale = Math.pow(2, map.getZoom());
        const at = map.options.crs.latLngToPoint(event.latlng, 0);
        const reach = 8 / scale;
        let best = -1, bestDistance = reach * reach;
        for (let i = lowerBound(points, at.x - reach); i < points.length && points[i] <= at.x + reach; i += protocol.markerNumbers) {
            const d = (points[i] - at.x) ** 2 + (points[i + 1] - at.y) ** 2;
            if (d <= bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        if (best < 0) return;
        // x, y, the point's line, latitude, longitude
        const [input, index, line] = table.rowAt(points[best + 2]);
        L.popup().setLatLng([points[best + 3], points[best + 4]]).setContent(table.escape(`${input} ${index + 1}: ${table.point(line, 'name')}`)).openOn(map);
    });
    return { plot };
}
