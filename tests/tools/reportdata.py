"""Reading back the numbers a report embeds (its JSON block)."""
import json
import re


def embedded(html_text, data_id):
    m = re.search(rf'<script type="application/json" id="{data_id}">(.*?)</script>', html_text, re.S)
    assert m, "no embedded data"
    return json.loads(m.group(1).replace("<\\/", "</"))
