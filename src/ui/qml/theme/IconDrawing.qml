import QtQuick

// Our own small drawings for the icon names the theme has nothing for. Each is drawn in a
// unit square, in one colour.
Canvas {
    id: canvas

    property string drawing
    property color color: "white"

    onDrawingChanged: requestPaint()
    onColorChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    function circle(ctx, cx, cy, r) {
        ctx.moveTo(cx + r, cy);
        ctx.arc(cx, cy, r, 0, 2 * Math.PI, false);
    }

    function keys(ctx, inverse) {
        const whiteKeys = 4;
        const w = 0.84 / whiteKeys;
        ctx.lineWidth = 0.07;
        if (inverse) {
            ctx.fillRect(0.08, 0.16, 0.84, 0.68);
            ctx.globalCompositeOperation = "destination-out";
        } else {
            ctx.strokeRect(0.08, 0.16, 0.84, 0.68);
        }
        ctx.beginPath();
        for (let i = 1; i < whiteKeys; ++i) {
            ctx.moveTo(0.08 + i * w, 0.5);
            ctx.lineTo(0.08 + i * w, 0.84);
        }
        ctx.stroke();
        for (let i = 1; i < whiteKeys; ++i)
            ctx.fillRect(0.08 + i * w - w * 0.3, 0.16, w * 0.6, 0.38);
        ctx.globalCompositeOperation = "source-over";
    }

    function gear(ctx) {
        const teeth = 8;
        ctx.beginPath();
        for (let i = 0; i < teeth * 2; ++i) {
            const a0 = (i / (teeth * 2)) * 2 * Math.PI;
            const a1 = ((i + 1) / (teeth * 2)) * 2 * Math.PI;
            const r = i % 2 === 0 ? 0.47 : 0.37;
            if (i === 0)
                ctx.moveTo(0.5 + r * Math.cos(a0), 0.5 + r * Math.sin(a0));
            ctx.lineTo(0.5 + r * Math.cos(a0), 0.5 + r * Math.sin(a0));
            ctx.lineTo(0.5 + r * Math.cos(a1), 0.5 + r * Math.sin(a1));
        }
        ctx.closePath();
        ctx.fill();
        ctx.globalCompositeOperation = "destination-out";
        ctx.beginPath();
        circle(ctx, 0.5, 0.5, 0.15);
        ctx.fill();
        ctx.globalCompositeOperation = "source-over";
    }

    function cube(ctx) {
        ctx.lineWidth = 0.05;
        ctx.beginPath();
        // front square and back square, offset up and right, joined at the corners
        ctx.rect(0.12, 0.3, 0.56, 0.56);
        ctx.rect(0.32, 0.14, 0.56, 0.56);
        ctx.moveTo(0.12, 0.3); ctx.lineTo(0.32, 0.14);
        ctx.moveTo(0.68, 0.3); ctx.lineTo(0.88, 0.14);
        ctx.moveTo(0.12, 0.86); ctx.lineTo(0.32, 0.7);
        ctx.moveTo(0.68, 0.86); ctx.lineTo(0.88, 0.7);
        ctx.stroke();
    }

    function hexagonGrid(ctx) {
        ctx.beginPath();
        circle(ctx, 0.5, 0.5, 0.46);
        ctx.fill();
        ctx.globalCompositeOperation = "destination-out";
        const step = 0.17;
        for (let row = -2; row <= 2; ++row) {
            for (let col = -3; col <= 3; ++col) {
                const x = 0.5 + col * step + (row % 2 === 0 ? 0 : step / 2);
                const y = 0.5 + row * step * 0.87;
                if (Math.hypot(x - 0.5, y - 0.5) > 0.36)
                    continue;
                ctx.beginPath();
                for (let k = 0; k < 6; ++k) {
                    const a = Math.PI / 6 + k * Math.PI / 3;
                    const px = x + 0.055 * Math.cos(a), py = y + 0.055 * Math.sin(a);
                    if (k === 0)
                        ctx.moveTo(px, py);
                    else
                        ctx.lineTo(px, py);
                }
                ctx.closePath();
                ctx.fill();
            }
        }
        ctx.globalCompositeOperation = "source-over";
    }

    function ear(ctx) {
        ctx.beginPath();
        ctx.moveTo(0.34, 0.86);
        ctx.bezierCurveTo(0.52, 0.96, 0.6, 0.74, 0.65, 0.62);
        ctx.bezierCurveTo(0.7, 0.5, 0.8, 0.44, 0.8, 0.3);
        ctx.bezierCurveTo(0.8, 0.12, 0.64, 0.04, 0.49, 0.06);
        ctx.bezierCurveTo(0.32, 0.08, 0.2, 0.2, 0.22, 0.38);
        ctx.stroke();
        ctx.beginPath();
        ctx.moveTo(0.37, 0.38);
        ctx.bezierCurveTo(0.37, 0.22, 0.63, 0.22, 0.63, 0.34);
        ctx.bezierCurveTo(0.63, 0.45, 0.5, 0.46, 0.5, 0.58);
        ctx.stroke();
    }

    onPaint: {
        const ctx = getContext("2d");
        ctx.reset();
        ctx.clearRect(0, 0, width, height);
        if (width <= 0 || height <= 0)
            return;
        ctx.scale(width, height);
        ctx.fillStyle = canvas.color;
        ctx.strokeStyle = canvas.color;
        ctx.lineWidth = 0.08;
        ctx.lineCap = "round";
        switch (canvas.drawing) {
        case "pianokeys":
            keys(ctx, false);
            break;
        case "pianokeysInverse":
            keys(ctx, true);
            break;
        case "gear":
            gear(ctx);
            break;
        case "cube":
            cube(ctx);
            break;
        case "ear":
            ear(ctx);
            break;
        case "circleInCircle":
            ctx.beginPath();
            circle(ctx, 0.5, 0.5, 0.42);
            ctx.stroke();
            ctx.beginPath();
            circle(ctx, 0.5, 0.5, 0.24);
            ctx.fill();
            break;
        case "dashedCircle":
            for (let i = 0; i < 12; ++i) {
                const a = i / 12 * 2 * Math.PI;
                ctx.beginPath();
                ctx.arc(0.5, 0.5, 0.42, a, a + Math.PI / 10, false);
                ctx.stroke();
            }
            break;
        case "filledCircle":
            ctx.beginPath();
            circle(ctx, 0.5, 0.5, 0.45);
            ctx.fill();
            break;
        case "halfFilledCircle":
            ctx.beginPath();
            circle(ctx, 0.5, 0.5, 0.42);
            ctx.stroke();
            ctx.beginPath();
            ctx.moveTo(0.5, 0.08);
            ctx.arc(0.5, 0.5, 0.42, -Math.PI / 2, Math.PI / 2, true);
            ctx.closePath();
            ctx.fill();
            break;
        case "rays":
            ctx.beginPath();
            for (let i = 0; i < 12; ++i) {
                const a = i / 12 * 2 * Math.PI;
                ctx.moveTo(0.5 + 0.2 * Math.cos(a), 0.5 + 0.2 * Math.sin(a));
                ctx.lineTo(0.5 + 0.46 * Math.cos(a), 0.5 + 0.46 * Math.sin(a));
            }
            ctx.stroke();
            break;
        case "hexagonGridCircle":
            hexagonGrid(ctx);
            break;
        }
    }
}
