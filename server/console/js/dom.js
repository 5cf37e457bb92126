// Building the page: every text goes in as text (textContent), never as
// markup, so a name from the register or a file cannot run anything.

export function el(tag, attributes = {}, ...children) {
    const node = document.createElement(tag);
    for (const [name, value] of Object.entries(attributes)) {
        if (value === undefined || value === null || value === false) {
            continue;
        }
        if (name === "class") {
            node.className = value;
        } else if (name === "text") {
            node.textContent = value;
        } else if (name.startsWith("on") && typeof value === "function") {
            node.addEventListener(name.slice(2), value);
        } else {
            node.setAttribute(name, value === true ? "" : String(value));
        }
    }
    append(node, children);
    return node;
}

function append(node, children) {
    for (const child of children) {
        if (child === undefined || child === null || child === false) {
            continue;
        }
        if (Array.isArray(child)) {
            append(node, child);
        } else if (child instanceof Node) {
            node.appendChild(child);
        } else {
            node.appendChild(document.createTextNode(String(child)));
        }
    }
}

export function clear(node) {
    while (node.firstChild) {
        node.removeChild(node.firstChild);
    }
    return node;
}

export function replace(node, ...children) {
    clear(node);
    append(node, children);
    return node;
}

// A line of text in a status area (role="status" reads it out).
export function say(node, text, kind = "info") {
    node.className = "message " + kind;
    node.textContent = text;
    node.hidden = !text;
}
