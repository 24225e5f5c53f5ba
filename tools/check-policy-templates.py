#!/usr/bin/env python3
"""Checks the Group Policy templates against the agent's outside contract and, when they
pass, copies them into the build:

    check-policy-templates.py --key KEY --names "NAME ..." --admx FILE --adml FILE --out DIR

KEY is the registry key the agent reads its policy from, NAMES the values it reads there
(ZV_REG_POLICY_KEY and ZV_POLICY_VALUES of src/res/contract.h). Both files must be
well-formed XML of the policy definitions schema. Every registry key they name must be KEY
and every value name one of NAMES, each written as text, since the agent reads no other
type; every name of NAMES must be set by some policy. Every string, presentation, category
and supported-on definition referred to must exist, and each element of a policy must have
exactly one control in the policy's presentation, and each control an element. On success
the files are copied to DIR and DIR/en-US; otherwise each problem is printed and the exit
code is 1.
"""

import argparse
import collections
import pathlib
import re
import shutil
import sys
import xml.etree.ElementTree as ElementTree

NS = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"
# Elements that hold the data a policy writes; the agent reads only REG_SZ text, and a
# <delete/> removes the value.
VALUE_HOLDERS = ("value", "enabledValue", "disabledValue", "trueValue", "falseValue")
TEXT_DATA = (NS + "string", NS + "delete")


def parse(path, root_tag, problems):
    try:
        root = ElementTree.parse(path).getroot()
    except (ElementTree.ParseError, OSError) as error:
        problems.append(f"{path.name}: not well-formed XML: {error}")
        return None
    if root.tag != NS + root_tag:
        problems.append(f"{path.name}: the root element is {root.tag}, not {root_tag}")
        return None
    return root


def check_references(admx, adml, problems):
    strings = {string.get("id") for string in adml.iter(NS + "string")}
    presentations = {item.get("id") for item in adml.iter(NS + "presentation")}
    known = {"string": strings, "presentation": presentations}
    for element in admx.iter():
        for value in element.attrib.values():
            for kind, name in re.findall(r"\$\((string|presentation)\.([^)]*)\)", value):
                if name not in known[kind]:
                    problems.append(f"the ADML has no {kind} {name!r}")


def check_values(admx, key, names, problems):
    for element in admx.iter():
        written_key = element.get("key")
        if written_key is not None and written_key.lower() != key.lower():
            problems.append(f"key {written_key!r} is not the agent's policy key {key!r}")
    written = {element.get("valueName") for element in admx.iter() if "valueName" in element.attrib}
    for name in sorted(written - names):
        problems.append(f"value {name!r} is written, but the agent does not read it")
    for name in sorted(names - written):
        problems.append(f"no policy sets {name!r}, which the agent reads")
    for tag in ("list", "multiText"):
        for element in admx.iter(NS + tag):
            problems.append(f"element {element.get('id')!r}: a {tag} writes no text value")
    for element in admx.iter(NS + "decimal"):
        if element.get("storeAsText") != "true":
            problems.append(f"element {element.get('id')!r}: a number must be stored as text")
    for element in admx.iter(NS + "text"):
        if element.get("expandable") == "true":
            problems.append(f"element {element.get('id')!r}: expandable text is not read")
    for holder in VALUE_HOLDERS:
        for element in admx.iter(NS + holder):
            for data in element:
                if data.tag not in TEXT_DATA:
                    problems.append(f"a {holder} holds {data.tag.replace(NS, '')}, not text")


def check_policies(admx, adml, problems):
    categories = {category.get("name") for category in admx.iter(NS + "category")}
    supported = {definition.get("name") for definition in admx.iter(NS + "definition")}
    presentations = {item.get("id"): item for item in adml.iter(NS + "presentation")}
    for parent in admx.iter(NS + "parentCategory"):
        if parent.get("ref") not in categories:
            problems.append(f"category {parent.get('ref')!r} is not defined")
    for policy in admx.iter(NS + "policy"):
        name = policy.get("name")
        support = policy.find(NS + "supportedOn")
        if support is None or support.get("ref") not in supported:
            problems.append(f"policy {name!r} names no defined supported-on text")
        elements = policy.find(NS + "elements")
        ids = [element.get("id") for element in elements] if elements is not None else []
        match = re.fullmatch(r"\$\(presentation\.([^)]*)\)", policy.get("presentation", ""))
        presentation = presentations.get(match.group(1)) if match else None
        controls = [control.get("refId") for control in (presentation if presentation is not None else [])
                    if control.get("refId") is not None]
        if ids and presentation is None:
            problems.append(f"policy {name!r} has elements but no presentation")
            continue
        counts = collections.Counter(controls)
        for element_id in ids:
            if counts[element_id] != 1:
                problems.append(f"policy {name!r}: element {element_id!r} has "
                                f"{counts[element_id]} controls")
        for control in sorted(set(controls) - set(ids)):
            problems.append(f"policy {name!r}: control {control!r} has no element")


def check(admx_path, adml_path, key, names):
    problems = []
    admx = parse(admx_path, "policyDefinitions", problems)
    adml = parse(adml_path, "policyDefinitionResources", problems)
    if admx is not None and adml is not None:
        check_references(admx, adml, problems)
        check_values(admx, key, names, problems)
        check_policies(admx, adml, problems)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--key", required=True)
    parser.add_argument("--names", required=True)
    parser.add_argument("--admx", required=True, type=pathlib.Path)
    parser.add_argument("--adml", required=True, type=pathlib.Path)
    parser.add_argument("--out", required=True, type=pathlib.Path)
    args = parser.parse_args()
    problems = check(args.admx, args.adml, args.key, set(args.names.split()))
    for problem in problems:
        print(f"policy templates: {problem}", file=sys.stderr)
    if problems:
        return 1
    (args.out / "en-US").mkdir(parents=True, exist_ok=True)
    shutil.copyfile(args.admx, args.out / args.admx.name)
    shutil.copyfile(args.adml, args.out / "en-US" / args.adml.name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
