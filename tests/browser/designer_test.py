"""The designer in Chromium, as a user works with it: edits on the example
project whose canvas pixels must equal the BMP kpl build writes after
Save, the saved text, undo and redo, and the display panel against the
emulator on a pty."""
import base64
import fcntl
import json
import os
import shutil
import signal
import subprocess
import sys
from urllib.request import Request, urlopen

from selenium.common.exceptions import UnexpectedAlertPresentException
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from harness import (KPL, LINE, RUN, Designer, Sim, check, chromium, dark_pixels_of_picture,
                     display_bytes, example_project, open_page, request, same, version, wait_until)

# What the page's canvas shows, one value a pixel: 1 where dark.
CANVAS_PIXELS = """
const c = document.querySelector(arguments[0]);
const d = c.getContext('2d').getImageData(0, 0, 120, 32).data;
const dark = [];
for (let i = 0; i < d.length; i += 4) dark.push(d[i] < 100 ? 1 : 0);
return dark;
"""


def alert(driver):
    try:
        return driver.switch_to.alert
    except Exception:
        return None


def settle(driver):
    """Waits until the page has no request waiting or on its way, or shows a
    dialog."""
    def settled():
        try:
            return alert(driver) or driver.execute_script("return window.kplSettled()")
        except UnexpectedAlertPresentException:  # shown in between
            return True
    return wait_until(settled)


def requesting(driver, action):
    """Does what makes the page ask the server something (a click, keys),
    then waits until it has asked and the answer is in, or a dialog shows."""
    def page(script):
        try:
            return alert(driver) or driver.execute_script(script)
        except UnexpectedAlertPresentException:  # shown in between
            return True
    before = page("return window.kplQueued")
    action()
    wait_until(lambda: page("return !(window.kplQueued <= %d)" % (before or 0)))
    return settle(driver)


def accept_dialogs(driver):
    """Accepts any confirm the page shows; their texts."""
    texts = []
    while settle(driver) and alert(driver):
        texts.append(alert(driver).text)
        alert(driver).accept()
    return texts


def type_into(driver, selector, text):
    field = driver.find_element(By.CSS_SELECTOR, selector)
    field.send_keys(Keys.CONTROL, "a")
    requesting(driver, lambda: field.send_keys(text))


def line_status(driver):
    wait_until(lambda: not driver.find_element(By.ID, "show").get_attribute("disabled"), 60)
    return driver.find_element(By.ID, "line-status").text


def edits(driver, designer, folder, project):
    original = open(project).read()
    photo = os.path.join(RUN, "photo.png")
    subprocess.run(["convert", "rose:", photo], check=True)  # ImageMagick's own photograph
    buttons = driver.find_elements(By.CSS_SELECTOR, "#pages button")
    same("the 17 flash pages listed, the project's 2 with their pixels",
         (len(buttons), len(driver.find_elements(By.CSS_SELECTOR, "#pages canvas"))), (17, 2))
    driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()

    Select(driver.find_element(By.ID, "new-kind")).select_by_visible_text("text")
    requesting(driver, driver.find_element(By.ID, "add").click)
    type_into(driver, "#properties textarea[name=text]", "Hi")
    type_into(driver, "#properties input[name=name]", "greeting" + Keys.TAB)
    settle(driver)
    same("a layer renamed shows by its name in the list",
         driver.find_element(By.CSS_SELECTOR, "#layers li.chosen span").text, "greeting")
    # A drag of 10 pixels right and down on the page shown 6 times its size.
    grid = driver.find_element(By.ID, "grid")
    requesting(driver, ActionChains(driver).move_to_element_with_offset(grid, 5 * 6 + 3 - 360, 5 * 6 + 3 - 96)
               .click_and_hold().move_by_offset(60, 60).release().perform)
    requesting(driver, lambda: driver.find_element(By.TAG_NAME, "body").send_keys(Keys.ARROW_LEFT, Keys.ARROW_LEFT,
                                                                                   Keys.ARROW_UP))

    data = base64.b64encode(open(photo, "rb").read()).decode()
    requesting(driver, lambda: driver.execute_script("""const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
        window.kplDropPicture(new File([bytes], 'photo.png', {type: 'image/png'}));""", data))
    check("a dropped picture is copied beside the project",
          open(os.path.join(folder, "photo.png"), "rb").read() == open(photo, "rb").read())
    for field, value in (("width", "26"), ("x", "94"), ("y", "10")):
        type_into(driver, "#properties input[name=%s]" % field, value)
    requesting(driver, lambda: driver.find_element(By.CSS_SELECTOR, "#properties input[name=threshold]")
               .send_keys(Keys.ARROW_LEFT * 30))
    edited = driver.execute_script(CANVAS_PIXELS, "#page")

    requesting(driver, lambda: driver.find_element(By.TAG_NAME, "body").send_keys(Keys.CONTROL, "z"))
    check("Ctrl-Z takes the whole slider move back",
          driver.execute_script("return document.querySelector('#properties input[name=threshold]').value") == "128"
          and driver.execute_script(CANVAS_PIXELS, "#page") != edited)
    requesting(driver, lambda: driver.find_element(By.TAG_NAME, "body").send_keys(Keys.CONTROL, Keys.SHIFT, "z"))
    same("Ctrl-Shift-Z puts it back", driver.execute_script(CANVAS_PIXELS, "#page"), edited)
    Select(driver.find_element(By.ID, "new-kind")).select_by_visible_text("pixels")
    requesting(driver, driver.find_element(By.ID, "add").click)
    driver.find_element(By.CSS_SELECTOR, "input[name=tool][value=paint]").click()
    # A stroke from (57, 13) to (60, 13): every pixel on the way.
    requesting(driver, ActionChains(driver).move_to_element_with_offset(grid, 57 * 6 + 3 - 360, 13 * 6 + 3 - 96)
               .click_and_hold().move_by_offset(18, 0).release().perform)
    edited = driver.execute_script(CANVAS_PIXELS, "#page")

    requesting(driver, driver.find_element(By.ID, "save").click)
    same("Save asks nothing of the example project", accept_dialogs(driver), [])
    same("Save says so", driver.find_element(By.ID, "status").text, "screens.toml saved")
    out = os.path.join(RUN, "out")
    subprocess.run([KPL, "build", project, "-o", out], check=True, capture_output=True)
    built = dark_pixels_of_picture(os.path.join(out, "05-battery_low.bmp"))
    check("the canvas's pixels equal the BMP kpl build writes after Save", edited == built,
          "%d pixels differ" % sum(a != b for a, b in zip(edited, built)))
    same("the page's thumbnail too",
         driver.execute_script(CANVAS_PIXELS, "nav button.chosen canvas"), built)
    same("the saved file: the example with the two layers added to its last page",
         open(project).read(), original + """
[[page.layer]]
kind = "text"
name = "greeting"
text = "Hi"
font = "medium"
x = 10
y = 11

[[page.layer]]
kind = "picture"
file = "photo.png"
x = 94
y = 10
width = 26
height = 32
threshold = 98

[[page.layer]]
kind = "pixels"
x = 56
y = 12
rows = [
    "........",
    ".####...",
    "........",
    "........",
    "........",
    "........",
    "........",
    "........",
]
""")
    # Named by the page, as kpl convert names a picture of that name.
    shutil.copy(os.path.join(out, "05-battery_low.bmp"), os.path.join(RUN, "battery_low.bmp"))
    for format in ("bmp", "png", "c", "hex"):
        exported = urlopen(designer.url + "api/export?page=1&format=" + format).read()
        same("Export as %s: the file kpl convert writes of kpl build's BMP" % format, exported,
             subprocess.run([KPL, "convert", os.path.join(RUN, "battery_low.bmp"), "-o", "-", "-f", format],
                            capture_output=True).stdout)
    same("the contact sheet: kpl build's", urlopen(designer.url + "api/sheet").read(),
         open(os.path.join(out, "screens.png"), "rb").read())
    # Changed outside while an edit is unsaved: kept over it (the page asks),
    # the edit is saved only when the user agrees to overwrite the file.
    keys(driver, Keys.ARROW_UP)
    with open(project, "a") as elsewhere:
        elsewhere.write("# changed by another program\n")
    changed = open(project).read()
    if wait_until(lambda: alert(driver), 10):
        alert(driver).dismiss()
    settle(driver)
    requesting(driver, driver.find_element(By.ID, "save").click)
    asked = alert(driver)
    same("Save over a file changed on disk asks first", asked and asked.text,
         "screens.toml has changed on disk since it was read. Overwrite it?")
    if asked:
        asked.dismiss()
    settle(driver)
    same("and, told no, leaves the file as it is", open(project).read(), changed)
    keys(driver, Keys.CONTROL, "z")
    return out


def display(driver, designer, out):
    sim = Sim()
    port = driver.find_element(By.ID, "port")
    port.send_keys(LINE)
    pages = {n: display_bytes(dark_pixels_of_picture(os.path.join(out, name)))
             for n, name in ((2, "02-splash.bmp"), (5, "05-battery_low.bmp"))}
    requesting(driver, driver.find_element(By.XPATH, "//ol[@id='layers']/li[contains(., 'Battery low')]/input").click)
    check("a hidden layer is left out of the canvas",
          driver.execute_script(CANVAS_PIXELS, "#page") != dark_pixels_of_picture(os.path.join(out, "05-battery_low.bmp")))
    sim.mark()
    same("the flash page offered is the page's number",
         driver.find_element(By.ID, "slot").get_attribute("value"), "5")
    driver.find_element(By.ID, "store").click()
    same("Store in page 5 says what it did", line_status(driver), LINE + ": stored in page 05, 486 bytes")
    sim.wait(2)
    same("Store in page 5: ESC DG, the page's 480 bytes as kpl build draws it (hidden layers too), ESC X 0x45",
         sim.since_mark(),
         b"\x1bDG" + pages[5] + b"\x1bXE")

    requesting(driver, driver.find_element(By.XPATH, "//nav/button[contains(., '+ 07')]").click)
    pages[7] = bytes(480)  # a new page is white
    sim.mark()
    driver.find_element(By.ID, "store-all").click()
    sim.wait(1)
    status, _, content = request(designer, "POST", designer.base + "api/show", origin=designer.origin,
                                 body=("port=%s&page=0" % LINE).encode())
    same("one line transaction at a time: a show during Store all pages waits its turn",
         content.decode(), '{"ok":false,"message":"%s: busy with another transaction of the designer"}' % LINE)
    same("Store all pages: done", line_status(driver), LINE + ": 3 of 3 pages stored")
    sim.wait(6)
    same("Store all pages: each page's bytes into its flash page, in the file's order", sim.since_mark(),
         b"".join(b"\x1bDG" + pages[n] + b"\x1bX" + bytes([0x40 + n]) for n in (2, 5, 7)))
    log = [line.split() for line in sim.log_since_mark()]
    gaps = [int(log[i + 1][0]) - int(log[i][1]) for i in (1, 3)]
    check("Store all pages: the display is given 500 ms to store each page (kplsim saw %s ms)" % gaps,
          all(gap >= 450 for gap in gaps))
    same("Store all pages: the progress bar reaches its end",
         driver.execute_script("const p = document.getElementById('progress'); return [p.value, p.max]"), [3, 3])

    options = {name: driver.find_element(By.CSS_SELECTOR, "#options input[name='%s']" % name)
               for name in ("backlight", "write-protect", "font-overwrite", "font-tall", "confirm")}
    for name in ("backlight", "write-protect", "font-overwrite", "font-tall", "confirm"):
        options[name].click()
    check("checking font overwrite unchecks write protection, as in the configuration tool",
          not options["write-protect"].is_selected() and options["font-overwrite"].is_selected())
    sim.mark()
    driver.find_element(By.ID, "send-options").click()
    same("Send options says what it sent", line_status(driver),
         LINE + ": configuration 0x91 sent, confirmation asked, 4 bytes")
    sim.wait(2)
    same("Send options: ESC W, 0x40 + backlight 0x01 + tall 0x10 + overwrite 0x80, then 0xC0",
         sim.since_mark(), b"\x1bW\xd1\xc0")

    holder = os.open(LINE, os.O_RDWR | os.O_NOCTTY)
    fcntl.flock(holder, fcntl.LOCK_EX | fcntl.LOCK_NB)  # raises if the designer still held it
    kpl = subprocess.run([KPL, "send", os.path.join(out, "02-splash.bmp"), "--port", LINE],
                         capture_output=True, text=True)
    driver.find_element(By.ID, "show").click()
    same("a port another program holds: the designer says what kpl says",
         "kpl: " + line_status(driver) + "\n", kpl.stderr)
    os.close(holder)


def layers(driver, designer):
    """The layer list's buttons and keys; a second picture of a taken name."""
    names = lambda: [li.text.split("\n")[0] for li in driver.find_elements(By.CSS_SELECTOR, "#layers li span")]
    driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
    driver.find_element(By.XPATH, "//ol[@id='layers']/li[1]/span").click()
    requesting(driver, lambda: driver.find_element(By.TAG_NAME, "body").send_keys(Keys.DELETE))
    requesting(driver, driver.find_element(By.XPATH, "//ol[@id='layers']/li[contains(., 'line')]/button[@title='Up']").click)
    same("Delete removes the chosen layer, Up moves one over the next",
         names(), ['picture photo.png', 'line 10,30 to 109,30', 'greeting', 'text "Battery low"', 'group statusbar'])
    _, _, content = request(designer, "POST", designer.base + "api/picture?page=1&name=photo.png&version=%s"
                            % version(designer),
                            origin=designer.origin, body=open(os.path.join(RUN, "out", "02-splash.bmp"), "rb").read())
    same("another picture dropped under a taken name is copied beside it as photo-2.png",
         json.loads(content)["message"], "photo-2.png added")
    _, _, content = request(designer, "POST", designer.base + "api/config", origin=designer.origin,
                            body=("port=%s&write-protect=1&font-overwrite=1" % LINE).encode())
    same("options with write protection and font overwrite both are refused", json.loads(content)["message"],
         "write protection and font overwrite exclude each other")


def forms(driver, designer):
    """Every kind's form offers exactly the table's fields (api/layers) in
    its order, each list its choices, and the kinds to add are the table's."""
    table = json.loads(request(designer, "GET", designer.base + "api/layers")[2])
    added = [kind["name"] for kind in table["kinds"] if kind["added"]]
    kinds = Select(driver.find_element(By.ID, "new-kind"))
    same("the kinds offered to add are the table's", [o.text for o in kinds.options], added)
    requesting(driver, driver.find_element(By.XPATH, "//nav/button[contains(., '+ 09')]").click)
    groups = state(designer)["groups"]
    for kind in added:
        Select(driver.find_element(By.ID, "new-kind")).select_by_visible_text(kind)
        requesting(driver, driver.find_element(By.ID, "add").click)
        fields = [f for f in table["fields"] if kind in f["kinds"]]
        form = driver.find_elements(By.CSS_SELECTOR, "#properties [name]")
        same("a new %s layer's form: the table's fields" % kind,
             [e.get_attribute("name") for e in form], [f["key"] for f in fields])
        for field, element in zip(fields, form):
            if element.tag_name == "select":
                same("%s's %s offers its choices" % (kind, field["key"]),
                     [o.text for o in Select(element).options], field.get("choices", groups))
    # A text moved past the page's edge is drawn and told beside the page.
    Select(driver.find_element(By.ID, "new-kind")).select_by_visible_text("text")
    requesting(driver, driver.find_element(By.ID, "add").click)
    type_into(driver, "#properties [name=x]", "110")
    told = driver.find_element(By.ID, "problems").text
    same("a text past the page's edge is a warning beside the page",
         ("warning: the text runs past the page:" in told, "pixels on the right" in told), (True, True))


def shows_the_build(driver, project, out, what):
    """The page's canvas against page 5 as kpl build draws the saved file."""
    out = os.path.join(RUN, out)
    subprocess.run([KPL, "build", project, "-o", out], check=True, capture_output=True)
    shown, built = driver.execute_script(CANVAS_PIXELS, "#page"), dark_pixels_of_picture(
        os.path.join(out, "05-battery_low.bmp"))
    check(what, shown == built, "%d pixels differ" % sum(a != b for a, b in zip(shown, built)))


def pages_show_the_build(driver, project, out):
    """Pages 2 and 5, each chosen in the strip, against kpl build of the saved
    file; the build's folder."""
    out = os.path.join(RUN, out)
    subprocess.run([KPL, "build", project, "-o", out], check=True, capture_output=True)
    for number, name in ((2, "splash"), (5, "battery_low")):
        driver.find_element(By.XPATH, "//nav/button[contains(., '%02d %s')]" % (number, name)).click()
        shown = driver.execute_script(CANVAS_PIXELS, "#page")
        built = dark_pixels_of_picture(os.path.join(out, "%02d-%s.bmp" % (number, name)))
        check("page %d: the canvas's pixels are kpl build's of the saved file" % number, shown == built,
              "%d pixels differ" % sum(a != b for a, b in zip(shown, built)))
    return out


def state(designer):
    return json.loads(request(designer, "GET", designer.base + "api/state")[2])


def contrast(driver, element):
    """WCAG's contrast ratio of an element's text on its background (or the
    nearest one behind it)."""
    return driver.execute_script("""
        const luminance = (css) => {
          const [r, g, b] = css.match(/[\\d.]+/g).slice(0, 3).map((v) => {
            v /= 255; return v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4; });
          return 0.2126 * r + 0.7152 * g + 0.0722 * b;
        };
        let e = arguments[0], back = getComputedStyle(e).backgroundColor;
        while (/rgba\\(.*, 0\\)|transparent/.test(back)) { e = e.parentElement; back = getComputedStyle(e).backgroundColor; }
        const [a, b] = [luminance(getComputedStyle(arguments[0]).color), luminance(back)];
        return (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);""", element)


def tabs_and_paint(driver, designer):
    """A tab behind the server (another tab changed the project) has its
    edit refused and is brought up to date; a pixel grid of white ink is
    painted by what its grid holds, not by the page's pixel."""
    before = state(designer)
    request(designer, "POST", designer.base + "api/edit", origin=designer.origin,
            body=("op=add&page=1&kind=rectangle&version=%s" % version(designer)).encode())
    requesting(driver, lambda: driver.find_element(By.TAG_NAME, "body").send_keys(Keys.DELETE))
    after = state(designer)
    same("a stale tab's Delete: refused, the other tab's rectangle kept on top",
         [l["kind"] for l in after["pages"][1]["layers"]],
         [l["kind"] for l in before["pages"][1]["layers"]] + ["rectangle"])
    status = driver.find_element(By.ID, "status")
    stale = request(designer, "POST", designer.base + "api/edit", origin=designer.origin,
                    body=("op=remove&page=1&layer=0&version=%s" % before.get("version", "")).encode())
    same("an edit on an older version: 409 with the project as it is now",
         (stale[0], json.loads(stale[2]).get("state", {}).get("version")), (409, version(designer)))
    same("the stale tab says so", status.text,
         "the project was changed in another tab or window; this one now shows it as it is")
    same("and lists the layers as they are now",
         len(driver.find_elements(By.CSS_SELECTOR, "#layers li")), len(after["pages"][1]["layers"]))
    ratio = contrast(driver, status)
    check("a failure on the header is readable (contrast %.1f, at least 4.5)" % ratio, ratio >= 4.5)

    Select(driver.find_element(By.ID, "new-kind")).select_by_visible_text("pixels")
    requesting(driver, driver.find_element(By.ID, "add").click)
    requesting(driver, lambda: Select(driver.find_element(By.CSS_SELECTOR, "#properties select[name=ink]"))
               .select_by_visible_text("white"))
    driver.find_element(By.CSS_SELECTOR, "input[name=tool][value=paint]").click()
    grid = driver.find_element(By.ID, "grid")
    rows = []
    for _ in range(2):
        requesting(driver, ActionChains(driver).move_to_element_with_offset(grid, 57 * 6 + 3 - 360, 13 * 6 + 3 - 96)
                   .click().perform)
        white = [l for l in state(designer)["pages"][1]["layers"] if l["kind"] == "pixels" and l["ink"] == "white"]
        rows.append(white[0]["rows"][1] if len(white) == 1 else
                    [(l["kind"], l["ink"]) for l in state(designer)["pages"][1]["layers"]])
    same("white ink: a click draws into the grid, a second one takes it out", rows, [".#......", "........"])
    driver.find_element(By.CSS_SELECTOR, "input[name=tool][value=move]").click()


def at_pixel(driver, x, y):
    """Actions with the pointer on the middle of page pixel (x, y) where the
    canvas shows it now (zoomed, scrolled)."""
    left, top, zoom = driver.execute_script(
        "const b = document.getElementById('grid').getBoundingClientRect(); return [b.left, b.top, b.width / 120]")
    actions = ActionChains(driver)
    actions.w3c_actions.pointer_action.move_to_location(int(left + (x + 0.5) * zoom), int(top + (y + 0.5) * zoom))
    return actions


def chosen(driver):
    """The selected layers as the list shows them, and the selection's outline."""
    return (driver.execute_script("return [...document.querySelectorAll('#layers li.chosen span')]"
                                  ".map((e) => e.textContent)"),
            driver.find_element(By.ID, "marks").get_attribute("data-box"))


def keys(driver, *typed):
    requesting(driver, lambda: driver.find_element(By.TAG_NAME, "body").send_keys(*typed))


def canvas(driver):
    """Selecting on the canvas as a user does: a click takes the topmost
    layer under the pointer (a line also beside its ink), again the one
    beneath, Shift adds; a drag, arrows, a property and Delete act on all
    selected; the pixels then equal kpl build's of the saved file."""
    project = example_project(os.path.join(RUN, "canvas"))
    designer = Designer(project)
    try:
        open_page(driver, designer)
        driver.find_element(By.TAG_NAME, "body").send_keys(Keys.ESCAPE)
        same("Escape lets the selection go", chosen(driver), ([], ""))
        requesting(driver, at_pixel(driver, 60, 16).click().perform)
        requesting(driver, at_pixel(driver, 60, 16).click().perform)
        same("on the splash page a click takes the text boxed over the page; a click again, the frame beneath",
             chosen(driver), (["rectangle 120 x 32"], "0,0,120,32"))
        driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
        text, line, bar = 'text "Battery low"', "line 10,30 to 109,30", "group statusbar"
        for what, pixel, shift, want in (
                ("a click on a text's ink", (40, 22), False, ([text], "28,18,65,10")),
                ("a click beside a one-pixel line", (50, 31), False, ([line], "10,30,100,1")),
                ("Shift-click adds the status bar, outlined together", (5, 3), True, ([line, bar], "0,0,120,31")),
                ("on nothing, Shift-click changes nothing", (5, 20), True, ([line, bar], "0,0,120,31"))):
            requesting(driver, (at_pixel(driver, *pixel).key_down(Keys.SHIFT).click().key_up(Keys.SHIFT) if shift
                                else at_pixel(driver, *pixel).click()).perform)
            same(what, chosen(driver), want)
        zoom = int(driver.find_element(By.ID, "stage").get_attribute("data-zoom"))
        requesting(driver, at_pixel(driver, 5, 3).click_and_hold().move_by_offset(3 * zoom, -2 * zoom)
                   .release().perform)
        keys(driver, Keys.ARROW_RIGHT, Keys.SHIFT + Keys.ARROW_LEFT)
        moved = [(l["kind"], l["x"], l["y"]) for l in state(designer)["pages"][1]["layers"]]
        same("a drag on the selection, then right and Shift-left (8), move both; the text stays",
             moved, [("group", -4, -2), ("text", 60, 21), ("line", 6, 28)])
        requesting(driver, at_pixel(driver, 5, 20).click().perform)
        same("a click on nothing lets the selection go", chosen(driver), ([], ""))
        requesting(driver, at_pixel(driver, 40, 22).click().perform)
        requesting(driver, at_pixel(driver, 50, 29).key_down(Keys.SHIFT).click().key_up(Keys.SHIFT).perform)
        requesting(driver, lambda: Select(driver.find_element(By.CSS_SELECTOR, "#properties select[name=ink]"))
                   .select_by_visible_text("invert"))
        same("a property set on every selected layer",
             [l["ink"] for l in state(designer)["pages"][1]["layers"][1:]], ["invert", "invert"])
        keys(driver, Keys.DELETE)
        same("Delete removes the selection", [l["kind"] for l in state(designer)["pages"][1]["layers"]], ["group"])
        zoom_and_grid(driver)
        requesting(driver, driver.find_element(By.ID, "save").click)
        shows_the_build(driver, project, "canvas-out", "the canvas's pixels: kpl build's of the saved file")
    finally:
        designer.stop()


def zoom_and_grid(driver):
    """Zoom by Ctrl with the wheel, keys and the list; the grid from 4x; the
    pointer's pixel shown; a click at 12x falls on the pixel under it."""
    stage = driver.find_element(By.ID, "stage")
    body = driver.find_element(By.TAG_NAME, "body")
    shown = lambda: (stage.get_attribute("data-zoom"), stage.size["width"], driver.execute_script(
        "return document.getElementById('grid').getContext('2d').getImageData(0, 1, 1, 1).data[3] > 0"))
    fit = shown()
    steps = (("Ctrl with the wheel towards the page", lambda: ActionChains(driver).key_down(Keys.CONTROL)
              .scroll_from_origin(ScrollOrigin.from_element(stage), 0, -100).key_up(Keys.CONTROL).perform(),
              ("8", 960, True)),
             ("- twice", lambda: body.send_keys("--"), ("5", 600, True)),
             ("Ctrl - once more", lambda: body.send_keys(Keys.CONTROL, "-"), ("4", 480, True)),
             ("- again: no grid", lambda: body.send_keys("-"), ("3", 360, False)),
             ("0 fits again", lambda: body.send_keys("0"), fit),
             ("12x from the list", lambda: Select(driver.find_element(By.ID, "zoom")).select_by_visible_text("12x"),
              ("12", 1440, True)))
    for what, action, want in steps:
        action()
        same("zoom: " + what, shown(), want)
    same("the fit at this window's width: 6x", fit, ("6", 720, True))
    # At 12x the page is wider than its box: pixels it shows.
    at_pixel(driver, 57, 9).perform()
    same("the pointer's pixel is shown", driver.find_element(By.ID, "pointer").text, "57, 9")
    requesting(driver, at_pixel(driver, 50, 3).click().perform)
    same("a click at 12x selects what is under it", chosen(driver), (["group statusbar"], "0,0,116,7"))
    body.send_keys("0")


def clipboard_text(driver, text=None):
    """The system clipboard's text, or `text` put on it (as another program
    would)."""
    return driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "(arguments[0] === null ? navigator.clipboard.readText() : navigator.clipboard.writeText(arguments[0]))"
        ".then(done, (e) => done(String(e)));", text)


def layer_boxes(designer, page):
    return [(l["kind"], l["box"]) for l in state(designer)["pages"][page]["layers"]]


def clipboard(driver):
    """Ctrl-C, Ctrl-X, Ctrl-V and Ctrl-D through the system clipboard as the
    layers' text in the project file, between pages and to and from an
    editor; aligning the selection; the pixels then kpl build's."""
    project = example_project(os.path.join(RUN, "clipboard"))
    designer = Designer(project)
    try:
        open_page(driver, designer)
        driver.execute_cdp_cmd("Browser.grantPermissions", {"origin": designer.origin, "permissions": [
            "clipboardReadWrite", "clipboardSanitizedWrite"]})
        status = driver.find_element(By.ID, "status")
        driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
        requesting(driver, at_pixel(driver, 40, 22).click().perform)
        requesting(driver, at_pixel(driver, 50, 31).key_down(Keys.SHIFT).click().key_up(Keys.SHIFT).perform)
        # The README's picture: a real page at 8x with a selection.
        driver.set_window_size(1500, 820)
        Select(driver.find_element(By.ID, "zoom")).select_by_visible_text("8x")
        driver.save_screenshot(os.path.join(RUN, "designer.png"))
        driver.set_window_size(1300, 850)
        driver.find_element(By.TAG_NAME, "body").send_keys("0")
        driver.find_element(By.TAG_NAME, "body").send_keys(Keys.CONTROL, "c")
        copied = clipboard_text(driver)
        same("Ctrl-C: the selected layers' text as the project file has it", (status.text, copied),
             ("2 layers copied", open(project).read().split("\n\n", 14)[-2] + "\n\n" +
              open(project).read().split("\n\n", 14)[-1]))
        driver.find_element(By.XPATH, "//nav/button[contains(., '02 splash')]").click()
        keys(driver, Keys.CONTROL, "v")
        same("Ctrl-V on another page: the layers on top, selected", (status.text, chosen(driver)[0]),
             ("2 layers pasted", ["line 10,30 to 109,30", 'text "Battery low"']))
        keys(driver, Keys.CONTROL, "x")
        same("Ctrl-X takes them out", [l["kind"] for l in state(designer)["pages"][0]["layers"]],
             ["rectangle", "text"])
        keys(driver, Keys.CONTROL, "v")
        keys(driver, Keys.CONTROL, "d")
        keys(driver, Keys.ARROW_UP, Keys.ARROW_UP)
        same("Ctrl-V puts them back; Ctrl-D copies them on top, selected, moved by the arrows",
             [(k, b and b[1]) for k, b in layer_boxes(designer, 0)],
             [("rectangle", 0), ("text", 0), ("text", 18), ("line", 30), ("text", 16), ("line", 28)])
        clipboard_text(driver, '# the clock, typed in an editor\n[[page.layer]]\nkind = "text"\ntext = "12:00"\n'
                               'font = "small"\nx = 90\ny = 2\n')
        driver.find_elements(By.CSS_SELECTOR, "#layers li span")[-1].click()  # the bottommost, the frame
        keys(driver, Keys.CONTROL, "v")
        same("Ctrl-V puts the layers above the selected one",
             [l.get("text") for l in state(designer)["pages"][0]["layers"][:2]], [None, "12:00"])
        clipboard_text(driver, 'kind = "circle"\n')
        keys(driver, Keys.CONTROL, "v")
        same("a text of no layers: refused with the reader's words", status.text,
             'the pasted text:1: "kind" is not a key of layers ([[page.layer]] tables)')
        # The text's box is 65 x 10 at (28, 18), the line's 100 x 1 at (10, 30).
        for edge, to, x, want in (("left", "selection", 40, [(10, 18), (10, 30)]),
                                  ("right", "page", 40, [(55, 18), (20, 30)]),
                                  ("middle", "selection", 80, [(55, 19), (20, 24)])):
            driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
            requesting(driver, at_pixel(driver, x, 22).click().perform)
            requesting(driver, at_pixel(driver, x, 31).key_down(Keys.SHIFT).click().key_up(Keys.SHIFT).perform)
            Select(driver.find_element(By.ID, "align-to")).select_by_value(to)
            requesting(driver, driver.find_element(By.CSS_SELECTOR, "#align button[data-edge=%s]" % edge).click)
            same("align %s to %s" % (edge, to), [tuple(b[:2]) for _, b in layer_boxes(designer, 1)[1:]], want)
        requesting(driver, driver.find_element(By.ID, "save").click)
        check("the pasted comment is kept", "# the clock, typed in an editor\n[[page.layer]]" in open(project).read())
        out = pages_show_the_build(driver, project, "clipboard-out")
        with open(project, "a") as editor:
            editor.write("\n" + copied)
        built = subprocess.run([KPL, "build", project, "-o", out], capture_output=True, text=True)
        same("the copied text pasted into the file in an editor builds", (built.returncode, built.stderr), (0, ""))
    finally:
        designer.stop()


def pages(driver):
    """Pages added, renamed, renumbered (onto a number in use: refused,
    naming the page that has it), duplicated and removed; then saved."""
    project = example_project(os.path.join(RUN, "pages"))
    designer = Designer(project)
    try:
        open_page(driver, designer)
        status = driver.find_element(By.ID, "status")
        strip = lambda: [b.text for b in driver.find_elements(By.CSS_SELECTOR, "#pages button[data-page]")]
        requesting(driver, driver.find_element(By.XPATH, "//nav/button[contains(., '+ 07')]").click)
        type_into(driver, "#page-name", "menu" + Keys.TAB)
        type_into(driver, "#page-number", "5" + Keys.TAB)
        same("a page renumbered onto a number in use: refused, saying which page has it",
             (status.text, driver.find_element(By.ID, "page-number").get_attribute("value")),
             ('flash page 5 is page "battery_low"\'s', "7"))
        type_into(driver, "#page-number", "9" + Keys.TAB)
        same("a page added, renamed and renumbered", strip(), ["02 splash", "05 battery_low", "09 menu"])
        driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
        requesting(driver, driver.find_element(By.ID, "duplicate-page").click)
        same("Duplicate page: a copy under the first free number, chosen",
             (status.text, strip(), driver.execute_script(CANVAS_PIXELS, "nav button.chosen canvas") ==
              driver.execute_script(CANVAS_PIXELS, "nav button[data-page='1'] canvas")),
             ("battery_low copied to page 00, battery_low_2",
              ["00 battery_low_2", "02 splash", "05 battery_low", "09 menu"], True))
        driver.find_element(By.XPATH, "//nav/button[contains(., '02 splash')]").click()
        requesting(driver, driver.find_element(By.ID, "remove-page").click)
        same("Remove page", (status.text, strip()),
             ("page 02 splash removed", ["00 battery_low_2", "05 battery_low", "09 menu"]))
        requesting(driver, driver.find_element(By.ID, "save").click)
        out = os.path.join(RUN, "pages-out")
        subprocess.run([KPL, "build", project, "-o", out], check=True, capture_output=True)
        same("saved and built: the pages as the strip shows them", sorted(f for f in os.listdir(out) if
             f.endswith(".bmp")), ["00-battery_low_2.bmp", "05-battery_low.bmp", "09-menu.bmp"])
        same("the copy's pixels: kpl build's", open(os.path.join(out, "00-battery_low_2.bmp"), "rb").read(),
             open(os.path.join(out, "05-battery_low.bmp"), "rb").read())
    finally:
        designer.stop()


def live_file(driver):
    """The project file as the source: changed outside (written in place, a
    new file renamed over it, git checkout) it shows at once; with unsaved
    edits the page asks; a file that does not read shows its problems by
    line beside the last good pages, and nothing is written until it reads."""
    folder = os.path.join(RUN, "live")
    project = example_project(folder)
    git = lambda *args: subprocess.run(["git", "-c", "user.name=kpl", "-c", "user.email=kpl@localhost", *args],
                                       cwd=folder, check=True, capture_output=True)
    original = open(project).read()
    other = original.replace("Battery low", "Charge me")
    git("init", "-q")
    git("checkout", "-q", "-b", "main")
    git("add", "screens.toml")
    git("commit", "-q", "-m", "low")
    git("checkout", "-q", "-b", "other")
    with open(project, "w") as text:
        text.write(other)
    git("commit", "-q", "-am", "charge")
    git("checkout", "-q", "main")
    designer = Designer(project)
    out = os.path.join(RUN, "live-out")

    def shows_the_file():
        """Waits until the canvas shows page 05 as kpl build draws the file now."""
        subprocess.run([KPL, "build", project, "-o", out], check=True, capture_output=True)
        built = dark_pixels_of_picture(os.path.join(out, "05-battery_low.bmp"))
        return wait_until(lambda: driver.execute_script(CANVAS_PIXELS, "#page") == built, 10)

    def in_place(text):
        with open(project, "w") as file:
            file.write(text)

    def renamed_over(text):
        with open(project + ".new", "w") as file:
            file.write(text)
        os.replace(project + ".new", project)
    try:
        open_page(driver, designer)
        status = driver.find_element(By.ID, "status")
        driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
        for what, change in (("git checkout of another branch", lambda: git("checkout", "-q", "other")),
                             ("written in place", lambda: in_place(other.replace("x = 60", "x = 50"))),
                             ("a new file renamed over it", lambda: renamed_over(other))):
            change()
            check("the file changed outside, %s, shows at once" % what, shows_the_file())
        same("and nothing is unsaved", driver.find_element(By.ID, "project").text, project)
        good = driver.execute_script(CANVAS_PIXELS, "#page")
        broken = other.replace('name = "battery_low"', 'name = "battery_low')
        in_place(broken)
        problems = driver.find_element(By.ID, "file-problems-list")
        check("a file that does not read: its problems by line", wait_until(lambda: problems.text.startswith(
            project + ":"), 10), problems.text)
        same("beside the last good pages", driver.execute_script(CANVAS_PIXELS, "#page") == good, True)
        requesting(driver, driver.find_element(By.XPATH, "//ol[@id='layers']/li[contains(., 'Charge me')]").click)
        keys(driver, Keys.ARROW_DOWN)
        requesting(driver, driver.find_element(By.ID, "save").click)
        same("Save writes nothing until it reads", (status.text.endswith(
            "nothing is written until it reads again"), open(project).read()), (True, broken))
        in_place(other.replace("x = 60", "x = 58"))
        alert_text = wait_until(lambda: alert(driver), 10) and alert(driver).text
        same("with an unsaved edit the page asks", alert_text,
             "%s has changed on disk. Show it as it is now and drop your unsaved edits? (Cancel keeps your edits; "
             "saving them then asks before overwriting the file.)" % project)
        alert(driver).dismiss()
        settle(driver)
        same("told no, the edits stay", (status.text, driver.find_element(By.ID, "file-problems").is_displayed(),
                                         driver.find_element(By.ID, "project").text),
             ("your edits are kept; saving asks before overwriting " + project, False, project + " *"))
        in_place(other.replace("Charge me", "Empty"))
        wait_until(lambda: alert(driver), 10)
        alert(driver).accept()
        settle(driver)
        check("a later change asks again; told yes, the file shows", shows_the_file())
    finally:
        designer.stop()


DROP = """const [bytes, x, y] = [Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0)), arguments[1], arguments[2]];
const moved = new DataTransfer();
moved.items.add(new File([bytes], 'rose.png', {type: 'image/png'}));
document.getElementById('stage').dispatchEvent(new DragEvent('drop', {dataTransfer: moved, clientX: x, clientY: y,
                                                                     bubbles: true, cancelable: true}));"""


def pictures_and_the_rest(driver):
    """A picture dropped at a pixel has its corner there and fits the page
    from there; one chosen with the file chooser at the page's corner; the
    slider's value and a size left to the font are said; ? lists the keys;
    the page fits 1024 pixels; messages are readable; leaving with an
    unsaved edit asks."""
    project = example_project(os.path.join(RUN, "rest"))
    photo = os.path.join(RUN, "rose.png")
    subprocess.run(["convert", "rose:", photo], check=True)  # 70 x 46
    designer = Designer(project)
    try:
        driver.set_window_size(1024, 768)
        open_page(driver, designer)
        same("at 1024 pixels wide nothing is cut off; the page fits at 4x",
             driver.execute_script("const html = document.documentElement; return [html.scrollWidth <= "
                                   "html.clientWidth, document.querySelector('#stage').dataset.zoom]"), [True, "4"])
        driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
        left, top = driver.execute_script("const b = document.getElementById('grid').getBoundingClientRect();"
                                          "return [b.left, b.top]")
        data = base64.b64encode(open(photo, "rb").read()).decode()
        requesting(driver, lambda: driver.execute_script(DROP, data, left + 100 * 4 + 2, top + 10 * 4 + 2))
        requesting(driver, lambda: driver.find_element(By.ID, "picture-file").send_keys(photo))
        same("dropped at (100, 10): its corner there, fitted into 20 x 22; chosen: at the corner, 32 high",
             [(l["file"], l["x"], l["y"], l["width"], l["height"]) for l in state(designer)["pages"][1]["layers"][3:]],
             [("rose.png", 100, 10, 20, 13), ("rose.png", 0, 0, 49, 32)])
        slider = driver.find_element(By.CSS_SELECTOR, "#properties input[name=threshold]")
        requesting(driver, lambda: slider.send_keys(Keys.ARROW_LEFT * 3))
        same("the slider says its value", driver.find_element(By.CSS_SELECTOR, "#properties output").text, "125")
        requesting(driver, driver.find_element(By.XPATH, "//ol[@id='layers']/li[contains(., 'Battery low')]/span").click)
        size = driver.find_element(By.CSS_SELECTOR, "#properties input[name=size]")
        same("a size left to the font says so", (size.get_attribute("value"), size.get_attribute("placeholder")),
             ("", "the font's"))
        driver.find_element(By.TAG_NAME, "body").send_keys("?")
        listed = driver.find_element(By.ID, "keys")
        same("? lists the keys", (listed.is_displayed(), "Ctrl-D" in listed.text), (True, True))
        listed.send_keys(Keys.ESCAPE)
        same("Escape closes the list", listed.is_displayed(), False)
        for what in ("status", "problems", "pointer", "file-problems"):
            element = driver.find_element(By.ID, what)
            ratio = contrast(driver, element)
            check("%s readable on its background (contrast %.1f, at least 4.5)" % (what, ratio), ratio >= 4.5)
        # WebDriver dismisses the browser's question on leaving (beforeunload)
        # itself: the page's answer to the real event is what is checked.
        leave = lambda: driver.execute_script(
            "window.addEventListener('beforeunload', (e) => sessionStorage.setItem('asked', e.defaultPrevented))")
        leave()
        driver.refresh()
        wait_until(lambda: driver.execute_script("return document.body.dataset.ready === '1'"))
        same("leaving the page with unsaved edits asks first",
             driver.execute_script("return sessionStorage.getItem('asked')"), "true")
        driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
        requesting(driver, driver.find_element(By.ID, "save").click)
        leave()
        driver.refresh()
        wait_until(lambda: driver.execute_script("return document.body.dataset.ready === '1'"))
        same("with every edit saved it does not", driver.execute_script("return sessionStorage.getItem('asked')"),
             "false")
        driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
        shows_the_build(driver, project, "rest-out", "the pictures' pixels: kpl build's of the saved file")
    finally:
        driver.set_window_size(1300, 850)
        designer.stop()


def groups(driver):
    """The selection made a group (Ctrl-G) and back (Ctrl-Shift-G); a group
    edited in place (double-click) changes every page that uses it."""
    project = example_project(os.path.join(RUN, "groups"))
    designer = Designer(project)
    try:
        open_page(driver, designer)
        status = driver.find_element(By.ID, "status")
        page = lambda n: [(l["kind"], l.get("group", l.get("text"))) for l in state(designer)["pages"][n]["layers"]]
        driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
        requesting(driver, at_pixel(driver, 40, 22).click().perform)
        requesting(driver, at_pixel(driver, 50, 31).key_down(Keys.SHIFT).click().key_up(Keys.SHIFT).perform)
        keys(driver, Keys.CONTROL, "g")
        same("Ctrl-G: the selection a group, its use chosen", (status.text, page(1), chosen(driver)[0]),
             ("group_1 made of 2 layers", [("group", "statusbar"), ("group", "group_1")], ["group group_1"]))
        keys(driver, Keys.CONTROL, "g")
        same("Ctrl-G on a group's use: refused in the file's words", (status.text, page(1)),
             ("a group cannot use another group", [("group", "statusbar"), ("group", "group_1")]))
        requesting(driver, at_pixel(driver, 5, 3).click().perform)
        keys(driver, Keys.CONTROL, "c")
        driver.find_element(By.XPATH, "//nav/button[contains(., '02 splash')]").click()
        keys(driver, Keys.CONTROL, "v")
        before = [p["image"] for p in state(designer)["pages"]]
        requesting(driver, at_pixel(driver, 5, 3).double_click().perform)
        requesting(driver, at_pixel(driver, 5, 3).click().perform)
        keys(driver, Keys.ARROW_RIGHT, Keys.ARROW_RIGHT)
        after = state(designer)
        same("a double-click edits the group in place: its text moved on every page that uses it",
             (driver.find_element(By.ID, "group-mode").text.split("\n")[0], after["groupLayers"][0][1]["x"],
              [a != b["image"] for a, b in zip(before, after["pages"])]),
             ("Group statusbar, on every page that uses it Done", 4, [True, True]))
        requesting(driver, driver.find_element(By.CSS_SELECTOR, "#align button[data-edge=right]").click)
        use = next(l for l in state(designer)["pages"][0]["layers"] if l.get("group") == "statusbar")
        same("aligned right within the group: to the page where the use draws it", use["inner"][1][0] + use["inner"][1][2],
             120)
        keys(driver, Keys.ESCAPE)
        keys(driver, Keys.ESCAPE)
        same("Escape twice: nothing selected, then the page's layers again",
             (driver.find_element(By.ID, "group-mode").is_displayed(), chosen(driver)[0]), (False, ["group statusbar"]))
        driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
        requesting(driver, at_pixel(driver, 40, 22).click().perform)
        keys(driver, Keys.ARROW_RIGHT, Keys.ARROW_DOWN)
        inner = state(designer)["pages"][1]["layers"][1]["inner"]
        keys(driver, Keys.CONTROL, Keys.SHIFT, "g")
        same("Ctrl-Shift-G: the group's layers back in its place where the moved use drew them, the group gone"
             " with its last use", (page(1), [l["box"] for l in state(designer)["pages"][1]["layers"][1:]],
                                    after["groups"], state(designer)["groups"]),
             ([("group", "statusbar"), ("text", "Battery low"), ("line", None)], inner, ["statusbar", "group_1"],
              ["statusbar"]))
        requesting(driver, driver.find_element(By.ID, "save").click)
        pages_show_the_build(driver, project, "groups-out")
    finally:
        designer.stop()


def memory(driver):
    """Hidden layers, the zoom and the page shown survive a restart, kept in
    the user's configuration folder, nothing beside the project."""
    project = example_project(os.path.join(RUN, "memory"))
    kept = os.path.join(os.environ["XDG_CONFIG_HOME"], "kpl", "design")
    shutil.rmtree(kept, ignore_errors=True)
    for session in ("first", "next"):
        designer = Designer(project)
        try:
            open_page(driver, designer)
            if session == "first":
                driver.find_element(By.XPATH, "//nav/button[contains(., '05 battery_low')]").click()
                Select(driver.find_element(By.ID, "zoom")).select_by_visible_text("8x")
                requesting(driver, driver.find_element(
                    By.XPATH, "//ol[@id='layers']/li[contains(., 'Battery low')]/input").click)
                files = lambda: [os.path.join(kept, f) for f in os.listdir(kept)]
                check("kept in the configuration folder", wait_until(lambda: len(files()) == 1 and "zoom 8\nhidden 5 3 1\n"
                                                                     in open(files()[0]).read(), 10))
        finally:
            designer.stop()
    same("the next session shows the page, the zoom and the hidden layer as they were",
         (driver.find_element(By.CSS_SELECTOR, "nav button.chosen").text,
          driver.find_element(By.ID, "stage").get_attribute("data-zoom"),
          driver.find_element(By.XPATH, "//ol[@id='layers']/li[contains(., 'Battery low')]/input").is_selected()),
         ("05 battery_low", "8", False))
    same("and nothing beside the project", os.listdir(os.path.dirname(project)), ["screens.toml"])


def files_and_links():
    """Pictures as they are on disk now; a dropped picture never written
    through a link."""
    folder = os.path.join(RUN, "files")
    project = example_project(folder)
    with open(project, "a") as text:
        text.write('\n[[page.layer]]\nkind = "picture"\nfile = "later.png"\nwidth = 40\n')
    outside = os.path.join(RUN, "outside-drop")
    shutil.rmtree(outside, ignore_errors=True)
    os.makedirs(outside)
    os.symlink(os.path.join(outside, "none.png"), os.path.join(folder, "drop.png"))
    designer = Designer(project)
    try:
        line = open(project).read().count("\n") - 3
        same("a picture not there yet: named", state(designer)["pages"][1]["problems"],
             ['%s:%d: picture "later.png" cannot be read (No such file or directory)' % (project, line)])
        for colour, size in (("black", "5x5"), ("gray70", "6x6")):
            subprocess.run(["convert", "-size", size, "xc:" + colour, os.path.join(folder, "later.png")], check=True)
            out = os.path.join(RUN, "files-out")
            subprocess.run([KPL, "build", project, "-o", out], check=True, capture_output=True)
            same("a picture %s on disk now: drawn as kpl build draws it" % colour,
                 bytes.fromhex(state(designer)["pages"][1]["image"]),
                 display_bytes(dark_pixels_of_picture(os.path.join(out, "05-battery_low.bmp"))))
        _, _, content = request(designer, "POST", designer.base + "api/picture?page=0&name=drop.png&version=%s"
                                % version(designer), origin=designer.origin,
                                body=open(os.path.join(folder, "later.png"), "rb").read())
        same("a picture dropped under the name of a dangling link goes beside it, not through it",
             (json.loads(content)["message"], os.listdir(outside), os.path.islink(os.path.join(folder, "drop.png"))),
             ("drop-2.png added", [], True))
    finally:
        designer.stop()


def recovery():
    """Ctrl-C, SIGTERM or a closed terminal keep unsaved edits beside the
    project; the next kpl design offers them; the project file is written
    only by Save."""
    folder = os.path.join(RUN, "recovery")
    project = example_project(folder)
    original = open(project).read()
    kept = os.path.join(folder, ".screens.toml.kpl-recovery")
    for number, signal_number in enumerate((signal.SIGINT, signal.SIGTERM, signal.SIGHUP)):
        designer = Designer(project)
        name = "kept_%d" % number
        request(designer, "POST", designer.base + "api/edit", origin=designer.origin,
                body=("op=set&page=0&layer=-1&field=name&value=%s&version=%s" % (name, version(designer))).encode())
        designer.process.send_signal(signal_number)
        status = designer.process.wait(10)
        same("%s with an unsaved edit: exit 130, the edits kept and named, the file as it was"
             % signal.Signals(signal_number).name,
             (status, (designer.process.stderr.read().splitlines() or [""])[-1], open(project).read() == original),
             (130, "kpl: %s: unsaved edits kept in %s; kpl design offers them when it next opens "
                   "the project" % (project, kept), True))
        check("the kept edits hold the new name", ('name = "%s"' % name) in open(kept).read())
    designer = Designer(project)
    try:
        same("the next session offers them", state(designer).get("recovered"), True)
        _, _, content = request(designer, "POST", designer.base + "api/recovery", origin=designer.origin,
                                body=("action=restore&version=%s" % version(designer)).encode())
        restored = json.loads(content).get("state", {"pages": [{"name": ""}]})
        same("restored: the project holds them, unsaved, the file as it was, the kept edits until saved",
             (restored["pages"][0]["name"], restored.get("changed"), restored.get("recovered"), open(project).read(),
              os.path.exists(kept)), ("kept_2", True, False, original, True))
        request(designer, "POST", designer.base + "api/save", origin=designer.origin,
                body=("version=%s" % version(designer)).encode())
        check("Save writes them", 'name = "kept_2"' in open(project).read())
    finally:
        designer.stop()
    same("after Save, nothing kept", os.path.exists(kept), False)


def refusals():
    """kpl design says what is wrong with a project as kpl build does."""
    with open(os.path.join(RUN, "broken.toml"), "w") as broken:
        broken.write('[[page]]\nnumber = 99\nname = "x y"\n')
    for name in ("broken.toml", "missing.toml", "out"):
        design = subprocess.run([KPL, "design", name, "--no-browser"], cwd=RUN, capture_output=True, text=True)
        build = subprocess.run([KPL, "build", name, "-o", "unused"], cwd=RUN, capture_output=True, text=True)
        same("a project that cannot be opened, %s: exit 2, the problems kpl build names" % name,
             (design.returncode, design.stderr), (2, build.stderr))


def browser_and_interrupt():
    """Without --no-browser the desktop's opener (a stand-in xdg-open here,
    which records what it was given) opens a page of the user's alone that
    sends the browser on to the address: the token is on no command line.
    Ctrl-C and a closed terminal end the server and remove the page."""
    opener = os.path.join(RUN, "opener")
    home = os.path.join(RUN, "home")
    os.makedirs(opener, exist_ok=True)
    os.makedirs(home, exist_ok=True)
    opened = os.path.join(opener, "opened")
    with open(os.path.join(opener, "xdg-open"), "w") as script:
        script.write('#!/bin/sh\n{ printf "%%s\\n" "$@"; stat -c %%a "$1"; cat "$1"; } >"%s.new" && mv "%s.new" "%s"\n'
                     % (opened, opened, opened))
    os.chmod(os.path.join(opener, "xdg-open"), 0o755)
    project = os.path.join(RUN, "designer", "screens.toml")
    for signal_number in (signal.SIGINT, signal.SIGHUP):
        name = signal.Signals(signal_number).name
        if os.path.exists(opened):
            os.remove(opened)
        process = subprocess.Popen([KPL, "design", project], stdout=subprocess.PIPE, text=True,
                                   env=dict(os.environ, PATH=opener + ":" + os.environ["PATH"], HOME=home))
        address = process.stdout.readline().split(" is at ")[1].split(" ")[0]
        if not check("%s: the opener is started" % name, wait_until(lambda: os.path.exists(opened), 10)):
            process.kill()
            process.wait()
            continue
        page, mode, *text = open(opened).read().split("\n")
        same("%s: the opener is given a file in the home folder, not hidden, without the token" % name,
             (os.path.dirname(page), os.path.basename(page)[:11], address.split("/")[3] in page),
             (home, "kpl-design-", False))
        same("%s: the file is the user's alone and sends the browser on to the address" % name,
             (mode, '<meta http-equiv="refresh" content="0; url=%s">' % address in text), ("600", True))
        process.send_signal(signal_number)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
        same("%s ends kpl design with status 130 and removes the file" % name,
             (process.poll(), os.path.exists(page)), (130, False))


def store_all_cut_short():
    """Store all pages on a line that fails at the second page (strace makes
    its fifth write fail) says how many pages, and which, were stored."""
    project = example_project(os.path.join(RUN, "cut-short"))
    designer = Designer(project, under=("strace", "-f", "-o", "/dev/null", "-P", os.path.realpath(LINE),
                                        "-e", "trace=write", "-e", "inject=write:error=EIO:when=5"),
                        env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0"))  # no LeakSanitizer under ptrace
    try:
        asked = Request(designer.url + "api/storeall", data=("port=" + LINE).encode(),
                        headers={"Origin": designer.origin})
        lines = urlopen(asked, timeout=60).read().decode().splitlines()
        same("Store all pages cut short: how many pages were stored, which, and why it stopped",
             [json.loads(line)["message"] for line in lines],
             [LINE + ": page 02 stored, 486 bytes",
              LINE + ": 1 of 2 pages stored (02) before: write failed after 3 of 486 bytes (Input/output error)"])
    finally:
        # strace holds fatal signals back while it runs a program: kpl is told.
        pid = designer.process.pid
        with open("/proc/%d/task/%d/children" % (pid, pid)) as children:
            os.kill(int(children.read().split()[0]), signal.SIGTERM)
        designer.process.wait(10)


def lost_comments():
    """A comment after a value has no place in the model: Save says which
    lines lose theirs and writes only when told to go on."""
    project = os.path.join(RUN, "comments.toml")
    text = '[[page]]\nnumber = 0\nname = "a"\n\n[[page.layer]]\nkind = "line"\nx = 0 # the left edge\ny = 0\nx2 = 9\ny2 = 0\n'
    with open(project, "w") as file:
        file.write(text)
    designer = Designer(project)
    try:
        _, _, content = request(designer, "POST", designer.base + "api/save", origin=designer.origin)
        answer = json.loads(content)
        same("Save of a file with a comment it would drop: names the line, writes nothing",
             (answer["ok"], answer["lostComments"], open(project).read()), (False, [7], text))
        _, _, content = request(designer, "POST", designer.base + "api/save", origin=designer.origin,
                                body=b"dropComments=1")
        same("and saves when told to go on", (json.loads(content)["ok"], "#" in open(project).read()), (True, False))
    finally:
        designer.stop()


def main():
    folder = os.path.join(RUN, "designer")
    project = example_project(folder)
    designer = Designer("screens.toml", cwd=folder)
    driver = chromium()
    try:
        check("the designer starts in Chromium", open_page(driver, designer))
        out = edits(driver, designer, folder, project)
        display(driver, designer, out)
        store_all_cut_short()
        layers(driver, designer)
        tabs_and_paint(driver, designer)
        forms(driver, designer)
        # The stale tab's refused edit is the one failed request expected.
        errors = [entry["message"] for entry in driver.get_log("browser")
                  if entry["level"] == "SEVERE" and "status of 409 (Conflict)" not in entry["message"]]
        same("the page logged no errors", errors, [])
        canvas(driver)
        clipboard(driver)
        pages(driver)
        live_file(driver)
        pictures_and_the_rest(driver)
        groups(driver)
        memory(driver)
        lost_comments()
        files_and_links()
        recovery()
        refusals()
        browser_and_interrupt()
    finally:
        driver.quit()
        designer.stop()


if __name__ == "__main__":
    main()
    sys.exit(0)
