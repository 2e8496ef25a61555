.pragma library
.import Native 1.0 as Native

function isValid(value) {
    return value !== undefined && value !== null
}

function isfunction(value) {
    return typeof value === "function"
}
