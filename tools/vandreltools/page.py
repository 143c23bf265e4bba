"""Assembly of a self-contained HTML page: inline style, images as data URIs, a JSON block of the numbers."""
import base64
import html
import json
import math

STYLE = """
body { font-family: sans-serif; margin: 1.5em; color: #222; background: #fff; }
h1 { font-size: 1.4em; } h2 { font-size: 1.15em; margin-top: 1.6em; border-bottom: 1px solid #ccc; }
table { border-collapse: collapse; font-size: 0.9em; }
td, th { border: 1px solid #ccc; padding: 2px 8px; text-align: right; white-space: nowrap; }
td.text { white-space: normal; }
th { background: #f0f0f0; } td.text, th.text { text-align: left; }
.profiles { display: flex; flex-wrap: wrap; gap: 8px; }
figure { margin: 4px; } figcaption { font-size: 0.8em; color: #444; }
.note { color: #555; font-size: 0.9em; }
#broken-figures { color: #b00; font-weight: bold; }
"""

# Marks the page once every figure has decoded, and says so on the page when one has not.
CHECK_SCRIPT = """
window.addEventListener('load', function () {
  var imgs = document.querySelectorAll('img');
  var bad = 0;
  for (var i = 0; i < imgs.length; i++) {
    if (!imgs[i].complete || imgs[i].naturalWidth === 0) bad++;
  }
  document.body.setAttribute('data-figures-shown', String(imgs.length - bad));
  if (bad) document.getElementById('broken-figures').textContent = bad + ' figure(s) could not be shown.';
});
"""


def esc(text):
    return html.escape(str(text), quote=True)


def number(value, digits=4):
    if value is None or (isinstance(value, float) and math.isnan(value)):
        return "–"
    if isinstance(value, (int,)) or (isinstance(value, float) and value.is_integer() and abs(value) > 1e4):
        return str(int(value))
    return f"{value:.{digits}g}"


def image(data, alt, css_class=""):
    encoded = base64.b64encode(data).decode("ascii")
    cls = f' class="{css_class}"' if css_class else ""
    return f'<img{cls} alt="{esc(alt)}" src="data:image/png;base64,{encoded}">'


def table(header, rows, text_columns=(0,)):
    out = ["<table><tr>"]
    out += [f'<th class="text">{esc(h)}</th>' if k in text_columns else f"<th>{esc(h)}</th>"
            for k, h in enumerate(header)]
    out.append("</tr>")
    for row in rows:
        out.append("<tr>" + "".join(
            f'<td class="text">{esc(c)}</td>' if k in text_columns else f"<td>{esc(c)}</td>"
            for k, c in enumerate(row)) + "</tr>")
    out.append("</table>")
    return "\n".join(out)


def _json_safe(value):
    if isinstance(value, float) and not math.isfinite(value):
        return None
    if isinstance(value, dict):
        return {k: _json_safe(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [_json_safe(v) for v in value]
    return value


def document(title, body_parts, data, data_id):
    payload = json.dumps(_json_safe(data)).replace("</", "<\\/")
    return "\n".join([
        "<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
        f"<title>{esc(title)}</title>", f"<style>{STYLE}</style>", "</head><body>",
        f"<h1>{esc(title)}</h1>", '<p id="broken-figures"></p>', *body_parts,
        f'<script type="application/json" id="{data_id}">{payload}</script>',
        f"<script>{CHECK_SCRIPT}</script>", "</body></html>", ""])
