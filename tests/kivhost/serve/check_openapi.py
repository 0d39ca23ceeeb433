#!/usr/bin/env python3
"""Checks the OpenAPI document `kivhost serve` gives: valid OpenAPI 3.1 (openapi-spec-validator),
and the rules a linter's recommended set holds documents to: servers, an info description, every
operation (webhooks too) with a unique operationId, a summary, a description and declared tags,
a success answer and (for paths) an error answer of the 4xx class, every $ref resolving and every
component used. Prints each problem; exits 1 when there is one, 77 when the validator is missing.

    check_openapi.py DOCUMENT.json
"""
import json
import sys

try:
    from openapi_spec_validator import validate
except ImportError:
    print("openapi-spec-validator is not installed for this python3")
    sys.exit(77)

METHODS = {"get", "put", "post", "delete", "options", "head", "patch", "trace"}


def references(node):
    """Every $ref in the node."""
    if isinstance(node, dict):
        for key, value in node.items():
            if key == "$ref" and isinstance(value, str):
                yield value
            else:
                yield from references(value)
    elif isinstance(node, list):
        for item in node:
            yield from references(item)


def operations(document):
    """(where, operation, is a webhook) for every operation."""
    for group, is_webhook in (("paths", False), ("webhooks", True)):
        for path, item in document.get(group, {}).items():
            for method, operation in item.items():
                if method in METHODS:
                    yield f"{group} {path} {method}", operation, is_webhook


def problems(document):
    found = []
    if not document.get("servers") or not all(server.get("url") for server in document["servers"]):
        found.append("no servers")
    if not document.get("info", {}).get("description"):
        found.append("no info description")
    declared_tags = {tag["name"] for tag in document.get("tags", [])}
    ids = set()
    for where, operation, is_webhook in operations(document):
        for field in ("operationId", "summary", "description"):
            if not operation.get(field):
                found.append(f"{where}: no {field}")
        if operation.get("operationId") in ids:
            found.append(f"{where}: operationId {operation['operationId']} used twice")
        ids.add(operation.get("operationId"))
        for tag in operation.get("tags", []):
            if tag not in declared_tags:
                found.append(f"{where}: tag {tag} not declared")
        statuses = list(operation.get("responses", {}))
        if not any(status.startswith("2") for status in statuses):
            found.append(f"{where}: no success answer")
        if not is_webhook and not any(status.startswith("4") for status in statuses):
            found.append(f"{where}: no 4xx answer")
    used = set(references(document))
    for ref in used:
        parts = ref.removeprefix("#/").split("/")
        node = document
        for part in parts:
            node = node.get(part) if isinstance(node, dict) else None
        if not ref.startswith("#/") or node is None:
            found.append(f"{ref} does not resolve")
    for kind, members in document.get("components", {}).items():
        for name in members:
            if f"#/components/{kind}/{name}" not in used:
                found.append(f"components {kind} {name} unused")
    return found


def main():
    with open(sys.argv[1], encoding="utf-8") as file:
        document = json.load(file)
    validate(document)
    found = problems(document)
    for problem in found:
        print(problem)
    print(f"{len(document['paths'])} paths, {len(document.get('webhooks', {}))} webhooks, "
          f"{len(document['components']['schemas'])} schemas, {len(found)} problems")
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
