"""Feeds written by publishing software from Debian's packages, from posts given as
(slug, title, time) with time an aware datetime: a site built by Hugo, whose built-in
template writes RSS 2.0, and a blog built by Jekyll with the jekyll-feed plugin, which
writes Atom 1.0. Each is generated in a scratch folder and its feed returned as bytes.

    hugo_feed(posts, "http://blog.example")      # the site's /index.xml
    jekyll_feed(posts, "http://blog.example")    # the blog's /feed.xml
"""

import json
import os
import subprocess
import tempfile


def _write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def _post(title, time):
    # JSON strings are YAML strings too.
    return f"---\ntitle: {json.dumps(title)}\ndate: {time.isoformat()}\n---\nText.\n"


def _build(command, folder, output):
    subprocess.run(command, cwd=folder, check=True, timeout=120, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    with open(os.path.join(folder, output), "rb") as f:
        return f.read()


def hugo_feed(posts, base_url):
    with tempfile.TemporaryDirectory() as folder:
        _write(os.path.join(folder, "config.toml"),
               f"baseURL = '{base_url}/'\ntitle = 'Zavora test site'\n")
        for slug, title, time in posts:
            _write(os.path.join(folder, "content", "posts", f"{slug}.md"), _post(title, time))
        return _build(["hugo", "--quiet"], folder, os.path.join("public", "index.xml"))


def jekyll_feed(posts, base_url):
    with tempfile.TemporaryDirectory() as folder:
        _write(os.path.join(folder, "_config.yml"),
               f"title: Zavora test blog\nurl: {json.dumps(base_url)}\nplugins:\n  - jekyll-feed\n")
        for slug, title, time in posts:
            _write(os.path.join(folder, "_posts", f"{time:%Y-%m-%d}-{slug}.md"),
                   _post(title, time))
        return _build(["jekyll", "build", "--quiet"], folder, os.path.join("_site", "feed.xml"))
