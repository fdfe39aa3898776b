#!/usr/bin/env python3
"""Writes the SVG pictures of the user interface (see README.md).

Every picture is drawn here from shapes and text; nothing is taken from elsewhere.
Run from any folder:  python3 assets/make_pictures.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
FONT = "WenQuanYi Zen Hei"


def write(rel, body, w, h):
    path = os.path.join(HERE, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
                f'viewBox="0 0 {w} {h}">\n{body}\n</svg>\n')


def grad(gid, top, bottom, vertical=True):
    x2, y2 = ("0", "1") if vertical else ("1", "0")
    return (f'<defs><linearGradient id="{gid}" x1="0" y1="0" x2="{x2}" y2="{y2}">'
            f'<stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/>'
            f'</linearGradient></defs>')


# Window icon: a blue tile with a white K and an orange price tag.
write("app/kova.svg", grad("g", "#4a8be0", "#1d4f9c") + """
<rect x="1" y="1" width="62" height="62" rx="12" fill="url(#g)" stroke="#183f7a" stroke-width="2"/>
<path d="M16 12 h9 v16 l14 -16 h11 l-16 18 l17 22 h-11 l-12 -16 l-3 3 v13 h-9 z" fill="#ffffff"/>
<circle cx="48" cy="48" r="11" fill="#ff8a00" stroke="#ffffff" stroke-width="2"/>
<path d="M43 41 l5 6 l5 -6 M48 47 v9 M44 50 h8 M44 53 h8" stroke="#ffffff" stroke-width="2" fill="none"/>
""", 64, 64)

# Title bar: left and right ends (48 wide) and the stretched middle, 20 high.
TITLE_TOP, TITLE_BOTTOM = "#e9f1fc", "#aac6ec"
write("title/middle.svg", grad("g", TITLE_TOP, TITLE_BOTTOM) + """
<rect x="0" y="0" width="16" height="20" fill="url(#g)"/>
<rect x="0" y="19" width="16" height="1" fill="#7f9fcf"/>
""", 16, 20)
write("title/left.svg", grad("g", TITLE_TOP, TITLE_BOTTOM) + """
<rect x="0" y="0" width="48" height="20" fill="url(#g)"/>
<rect x="0" y="19" width="48" height="1" fill="#7f9fcf"/>
<rect x="0" y="0" width="4" height="20" fill="#2f5f9f"/>
<rect x="4" y="0" width="2" height="20" fill="#6f97d2"/>
""", 48, 20)
write("title/right.svg", grad("g", TITLE_TOP, TITLE_BOTTOM) + """
<rect x="0" y="0" width="48" height="20" fill="url(#g)"/>
<rect x="0" y="19" width="48" height="1" fill="#7f9fcf"/>
<rect x="42" y="0" width="2" height="20" fill="#6f97d2"/>
<rect x="44" y="0" width="4" height="20" fill="#2f5f9f"/>
""", 48, 20)

# Title bar buttons, 25 x 17: a face per state and a glyph per kind.
FACES = {
    "normal": ("#f4f8fe", "#c9dbf3", "#7f9fcf"),
    "hover": ("#ffffff", "#d9e8fb", "#336abc"),
    "pressed": ("#9dbbe6", "#c3d6f2", "#264379"),
}
CLOSE_FACES = {
    "normal": ("#f4f8fe", "#c9dbf3", "#7f9fcf"),
    "hover": ("#f58a7a", "#d43c28", "#8e1c0e"),
    "pressed": ("#b8301f", "#e0604d", "#6e150a"),
}
GLYPHS = {
    "close": '<path d="M8.5 4.5 l8 8 M16.5 4.5 l-8 8" stroke="{c}" stroke-width="2" stroke-linecap="round"/>',
    "maximize": '<rect x="8" y="4" width="9" height="8" fill="none" stroke="{c}" stroke-width="1.2"/>'
                '<rect x="8" y="4" width="9" height="2" fill="{c}"/>',
    "restore": '<rect x="10" y="3" width="7" height="6" fill="none" stroke="{c}" stroke-width="1.2"/>'
               '<rect x="7" y="6" width="7" height="6" fill="#ffffff" stroke="{c}" stroke-width="1.2"/>'
               '<rect x="7" y="6" width="7" height="1.6" fill="{c}"/>',
    "minimize": '<rect x="8" y="10" width="9" height="2" fill="{c}"/>',
}
for kind, glyph in GLYPHS.items():
    faces = CLOSE_FACES if kind == "close" else FACES
    for face, (top, bottom, border) in faces.items():
        colour = "#ffffff" if kind == "close" and face != "normal" else "#1f3f70"
        write(f"title/{kind}_{face}.svg", grad("g", top, bottom) +
              f'<rect x="0.5" y="0.5" width="24" height="16" rx="3" fill="url(#g)" stroke="{border}"/>' +
              glyph.format(c=colour), 25, 17)

# Tool bar image list: 19 icons of 32 x 32.
ICONS = [
    # 0 folder
    '<path d="M3 8 h10 l3 3 h13 v16 h-26 z" fill="#f5c542" stroke="#a67c00"/>'
    '<path d="M3 13 h26 v14 h-26 z" fill="#ffd95e" stroke="#a67c00"/>',
    # 1 disk
    '<rect x="4" y="4" width="24" height="24" rx="2" fill="#3a6fb8" stroke="#1d3f73"/>'
    '<rect x="9" y="4" width="14" height="9" fill="#e8eef8"/><rect x="8" y="18" width="16" height="10" fill="#ffffff"/>',
    # 2 printer
    '<rect x="9" y="4" width="14" height="9" fill="#ffffff" stroke="#555"/>'
    '<rect x="4" y="12" width="24" height="11" rx="2" fill="#8c96a5" stroke="#4b5563"/>'
    '<rect x="9" y="19" width="14" height="9" fill="#ffffff" stroke="#555"/>',
    # 3 feedback: speech bubble
    '<path d="M4 6 h24 a2 2 0 0 1 2 2 v13 a2 2 0 0 1 -2 2 h-14 l-7 6 v-6 h-3 a2 2 0 0 1 -2 -2 v-13 a2 2 0 0 1 2 -2 z"'
    ' fill="#4caf50" stroke="#2e7d32"/>'
    '<circle cx="10" cy="14.5" r="2" fill="#fff"/><circle cx="16" cy="14.5" r="2" fill="#fff"/>'
    '<circle cx="22" cy="14.5" r="2" fill="#fff"/>',
    # 4 mail
    '<rect x="3" y="8" width="26" height="17" fill="#fff8e1" stroke="#b07b00"/>'
    '<path d="M3 8 l13 10 l13 -10" fill="none" stroke="#b07b00" stroke-width="1.5"/>',
    # 5 gear
    '<circle cx="16" cy="16" r="9" fill="none" stroke="#607d8b" stroke-width="6" stroke-dasharray="4 3"/>'
    '<circle cx="16" cy="16" r="7" fill="#90a4ae"/><circle cx="16" cy="16" r="3" fill="#fff"/>',
    # 6 official site: house
    '<path d="M16 4 l13 11 h-4 v13 h-18 v-13 h-4 z" fill="#ff8a3d" stroke="#b34d00"/>'
    '<rect x="13" y="19" width="6" height="9" fill="#ffffff" stroke="#b34d00"/>',
    # 7 question mark
    '<circle cx="16" cy="16" r="13" fill="#7e57c2" stroke="#4527a0"/>'
    '<path d="M11.5 12 a4.5 4.5 0 1 1 6.5 4 c-1.5 1 -2 2 -2 4" fill="none" stroke="#fff" stroke-width="3"/>'
    '<circle cx="16" cy="24.5" r="1.8" fill="#fff"/>',
    # 8 about: information
    '<circle cx="16" cy="16" r="13" fill="#2196f3" stroke="#0d5aa7"/>'
    '<circle cx="16" cy="9.5" r="2.2" fill="#fff"/><rect x="14" y="13.5" width="4" height="11" rx="1" fill="#fff"/>',
    # 9 close window: red disc with a cross
    '<circle cx="16" cy="16" r="13" fill="#e53935" stroke="#9e1b18"/>'
    '<path d="M10.5 10.5 l11 11 M21.5 10.5 l-11 11" stroke="#fff" stroke-width="3.2" stroke-linecap="round"/>',
    # 10 refresh
    '<path d="M25 12 a10 10 0 1 0 1 8" fill="none" stroke="#009688" stroke-width="3.5"/>'
    '<path d="M20 5 l7 7 l-9 2 z" fill="#009688"/>',
    # 11 favorites: star on a folder
    '<path d="M3 9 h10 l3 3 h13 v16 h-26 z" fill="#f5c542" stroke="#a67c00"/>'
    '<path d="M16 11 l3 6 l6.5 0.8 l-4.8 4.4 l1.3 6.5 l-6 -3.3 l-6 3.3 l1.3 -6.5 l-4.8 -4.4 l6.5 -0.8 z"'
    ' fill="#e53935" stroke="#8e1c0e" stroke-linejoin="round"/>',
    # 12 cart
    '<path d="M3 6 h5 l4 15 h14 l3 -10 h-19" fill="none" stroke="#37474f" stroke-width="2.5" stroke-linejoin="round"/>'
    '<circle cx="13" cy="26" r="2.5" fill="#37474f"/><circle cx="24" cy="26" r="2.5" fill="#37474f"/>',
    # 13 shopping sites: globe
    '<circle cx="16" cy="16" r="13" fill="#29b6f6" stroke="#01579b"/>'
    '<ellipse cx="16" cy="16" rx="6" ry="13" fill="none" stroke="#e1f5fe" stroke-width="1.5"/>'
    '<path d="M3 16 h26 M5.5 9 h21 M5.5 23 h21" stroke="#e1f5fe" stroke-width="1.5"/>',
    # 14 price drop: tag with a down arrow
    '<path d="M4 5 h12 l13 13 l-11 11 l-13 -13 z" fill="#66bb6a" stroke="#2e7d32" stroke-linejoin="round"/>'
    '<circle cx="9.5" cy="10.5" r="2" fill="#fff"/>'
    '<path d="M18 11 v10 M14 17 l4 4.5 l4 -4.5" fill="none" stroke="#fff" stroke-width="2.6"/>',
    # 15 up arrow
    '<path d="M16 4 l11 12 h-7 v12 h-8 v-12 h-7 z" fill="#ff7043" stroke="#bf360c"/>',
    # 16 tag
    '<path d="M4 5 h12 l13 13 l-11 11 l-13 -13 z" fill="#ffca28" stroke="#b28704"/>'
    '<circle cx="9.5" cy="10.5" r="2" fill="#fff"/>',
    # 17 clock
    '<circle cx="16" cy="16" r="13" fill="#ffffff" stroke="#455a64" stroke-width="2"/>'
    '<path d="M16 8 v8 l6 4" fill="none" stroke="#455a64" stroke-width="2.5" stroke-linecap="round"/>',
    # 18 price comparison search: magnifier over a yen coin
    '<circle cx="13" cy="13" r="9.5" fill="#fff3c4" stroke="#1e5bb8" stroke-width="3"/>'
    '<path d="M20 20 l8.5 8.5" stroke="#1e5bb8" stroke-width="4.5" stroke-linecap="round"/>'
    '<path d="M9 8 l4 5 l4 -5 M13 13 v7 M9.5 15 h7 M9.5 18 h7" fill="none" stroke="#d35400" stroke-width="1.8"/>',
]
assert len(ICONS) == 19
for i, body in enumerate(ICONS):
    write(f"toolbar/tb{i:02d}.svg", body, 32, 32)

# Glyph of the two search buttons.
write("buttons/search.svg", """
<circle cx="10" cy="10" r="7" fill="#fff3c4" stroke="#1e5bb8" stroke-width="2.5"/>
<path d="M15 15 l6.5 6.5" stroke="#1e5bb8" stroke-width="3.5" stroke-linecap="round"/>
""", 24, 24)

# The tick of a checked check box (used by the skin kova.sui).
write("skin/check.svg", """
<path d="M2.5 7 l3 3 l6 -7" fill="none" stroke="#ffffff" stroke-width="2.2" stroke-linecap="round"
 stroke-linejoin="round"/>
""", 13, 13)

# Store logos for Image1 ... Image8, 80 x 33: the store's name on its colours.
STORES = [
    ("淘宝网", "#ff5000", "#ff8a3d", "#ffffff"),
    ("天猫商城", "#c40000", "#e2231a", "#ffffff"),
    ("京东商城", "#e4393c", "#f0686a", "#ffffff"),
    ("当当网", "#ffffff", "#ffe9e9", "#e6141e"),
    ("亚马逊", "#232f3e", "#37475a", "#ff9900"),
    ("凡客诚品", "#ffffff", "#e6f0ff", "#8b1a1a"),
    ("苏宁易购", "#ffcc00", "#ffe066", "#1f3a93"),
    ("1号店", "#ffffff", "#fff0f0", "#d7000f"),
]
for n, (name, top, bottom, ink) in enumerate(STORES, start=1):
    size = 17 if len(name) <= 3 else 15
    underline = ("#ff9900" if name == "亚马逊" else ink)
    write(f"stores/store{n}.svg", grad("g", top, bottom) + f"""
<rect x="0.5" y="0.5" width="79" height="32" rx="4" fill="url(#g)" stroke="#b0b0b0"/>
<text x="40" y="21" font-family="{FONT}" font-size="{size}" font-weight="bold" fill="{ink}"
 text-anchor="middle">{name}</text>
<path d="M18 26 q22 5 44 0" fill="none" stroke="{underline}" stroke-width="1.6" stroke-linecap="round"/>
""", 80, 33)

# The about picture (rendered to about/about.jpg, see README.md).
write("about/about.svg", grad("bg", "#2f6fc0", "#0f2f66") + f"""
<rect x="0" y="0" width="468" height="294" fill="url(#bg)"/>
<circle cx="400" cy="60" r="120" fill="#ffffff" fill-opacity="0.06"/>
<circle cx="60" cy="280" r="90" fill="#ffffff" fill-opacity="0.05"/>
<g transform="translate(36,40) scale(1.25)">
  <rect x="1" y="1" width="62" height="62" rx="12" fill="#4a8be0" stroke="#ffffff" stroke-width="2"/>
  <path d="M16 12 h9 v16 l14 -16 h11 l-16 18 l17 22 h-11 l-12 -16 l-3 3 v13 h-9 z" fill="#ffffff"/>
  <circle cx="48" cy="48" r="11" fill="#ff8a00" stroke="#ffffff" stroke-width="2"/>
</g>
<text x="130" y="82" font-family="{FONT}" font-size="38" font-weight="bold" fill="#ffffff">Kova比价软件</text>
<text x="132" y="112" font-family="{FONT}" font-size="16" fill="#cfe0ff">V1.0 （Tavi版）</text>
<rect x="36" y="140" width="396" height="1" fill="#ffffff" fill-opacity="0.4"/>
<text x="36" y="174" font-family="{FONT}" font-size="18" fill="#ffffff">货比三家，比价帮助您更省钱、省事！</text>
<text x="36" y="204" font-family="{FONT}" font-size="14" fill="#cfe0ff">淘宝网 · 天猫商城 · 京东商城 · 亚马逊 · 当当网 · 苏宁易购 · 1号店</text>
<text x="36" y="232" font-family="{FONT}" font-size="13" fill="#cfe0ff">本软件只提供比价服务，交易服务由各大电商提供。</text>
<text x="432" y="274" font-family="{FONT}" font-size="12" fill="#9fbff0" text-anchor="end">点击图片关闭</text>
""", 468, 294)
