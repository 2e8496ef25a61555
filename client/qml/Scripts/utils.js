.pragma library
.import Native 1.0 as Native

function isValid(value) {
    return value !== undefined && value !== null
}

function isfunction(value) {
    return typeof value === "function"
}

// The mark before an object of the camera tree, by the tree's icon name.
function treeGlyph(icon) {
    if (icon === "location") return "\u2302"
    if (icon === "device") return "\u25a3"
    if (icon === "stream") return "\u25b6"
    if (icon === "sensor") return "\u25c9"
    if (icon === "actuator") return "\u26bf"
    return "\u2022"
}
