# Turns the zip benchmark's measurements into Markdown tables, one set per corpus.
# Input files (tab-separated): "meta" lines (corpus, title, files, bytes, entries), "time" lines
# (corpus, operation, tool, run, seconds, peak KiB, exit code) and "size" lines (corpus,
# operation, tool, bytes) and "check" lines (subject, check, passed or FAILED). Variables:
# corpora, operations, tools (blank-separated, in order), titles (tool titles joined by "|"),
# cores, runs.
BEGIN {
    FS = "\t"
    nCorpora = split(corpora, corpusList, " ")
    nOps = split(operations, opList, " ")
    nTools = split(tools, toolList, " ")
    split(titles, titleList, "|")
    for (i = 1; i <= nTools; i++) title[toolList[i]] = titleList[i]
    goal["create-0"] = 1; goal["create-1"] = 2; goal["create-5"] = 2.5; goal["extract"] = 1.5
}

$1 == "meta" { corpusTitle[$2] = $3; files[$2] = $4; bytes[$2] = $5; entries[$2] = $6; next }
$1 == "time" {
    key = $2 SUBSEP $3 SUBSEP $4
    measured[$2 SUBSEP $3] = 1
    times[key] = times[key] " " $6
    if ($7 + 0 > peak[key]) peak[key] = $7 + 0
    if ($8 != 0) failed[key] = $8
    next
}
$1 == "size" { size[$2 SUBSEP $3 SUBSEP $4] = $5; next }
$1 == "check" {
    if (!($2 in subjectSeen)) { subjectSeen[$2] = 1; subjects[++nSubjects] = $2 }
    checked[$2 SUBSEP $3] = $4
    nChecks++
    if ($4 != "passed") nFailed++
    next
}

function median(list,    v, n, i, j, t) {
    n = split(list, v, " ")
    for (i = 2; i <= n; i++)
        for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    if (n == 0) return ""
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}

function number(x) { return x >= 100 ? sprintf("%.0f", x) : x >= 10 ? sprintf("%.1f", x) : sprintf("%.2f", x) }

function grouped(n,    s, out) {
    s = sprintf("%d", n); out = ""
    while (length(s) > 3) { out = "," substr(s, length(s) - 2) out; s = substr(s, 1, length(s) - 3) }
    return s out
}

# Speed of a tool at an operation: MB/s, or for a listing the inverse seconds (so higher is
# better everywhere); "" when not measured or failed.
function speed(corpus, op, tool,    key, m) {
    key = corpus SUBSEP op SUBSEP tool
    if (!(key in times) || (key in failed)) return ""
    m = median(times[key])
    if (m <= 0) m = 0.0005
    return op == "list" ? 1 / m : bytes[corpus] / 1e6 / m
}

function cell(corpus, op, tool,    key, s, v, mark) {
    key = corpus SUBSEP op SUBSEP tool
    if (key in failed) return "failed (exit " failed[key] ")"
    s = speed(corpus, op, tool)
    if (s == "") return "—"
    mark = split(times[key], v, " ") < runs ? "¹" : ""
    return (op == "list" ? sprintf("%.3f s", 1 / s) : number(s) " MB/s") mark
}

function opTitle(corpus, op,    level) {
    if (op == "create-0") return "create, level 0 (store)"
    if (op ~ /^create-/) { level = op; sub(/create-/, "", level); return "create, level " level }
    if (op == "extract") return "extract Info-ZIP's level-5 archive"
    if (op == "test") return "test the same archive"
    return "list its " grouped(entries[corpus]) " entries"
}

function goalCell(corpus, op, ours, best,    other, ratio) {
    if (ours == "") return "—"
    if (op == "test" || op == "list") {
        other = op == "test" ? "bsdtar" : "go"
        if (speed(corpus, op, other) == "") return "—"
        ratio = ours / speed(corpus, op, other)
        if (op == "test") return sprintf("≥ 1.5 × bsdtar (now %.2f): %s", ratio, ratio >= 1.5 ? "met" : "not met")
        return sprintf("≤ 1.5 × Go's time (now %.2f ×): %s", 1 / ratio, 1 / ratio <= 1.5 ? "met" : "not met")
    }
    if (!(op in goal) || best == "") return "—"
    ratio = ours / best
    return sprintf("≥ %s: %s", goal[op], ratio >= goal[op] ? "met" : "not met")
}

function speedTable(corpus,    i, t, op, line, ours, best, bestTool, s) {
    line = "| operation |"
    for (t = 1; t <= nTools; t++) line = line " " title[toolList[t]] " |"
    print line " Vantrel ÷ best other | goal |"
    line = "|---|"
    for (t = 1; t <= nTools + 2; t++) line = line "---|"
    print line
    for (i = 1; i <= nOps; i++) {
        op = opList[i]
        if (!((corpus SUBSEP op) in measured)) continue
        line = "| " opTitle(corpus, op) " |"
        best = ""; bestTool = ""
        for (t = 1; t <= nTools; t++) {
            line = line " " cell(corpus, op, toolList[t]) " |"
            s = speed(corpus, op, toolList[t])
            if (toolList[t] != "vantrel" && s != "" && (best == "" || s > best)) { best = s; bestTool = toolList[t] }
        }
        ours = speed(corpus, op, "vantrel")
        line = line " " (ours != "" && best != "" ? sprintf("%.2f (%s)", ours / best, title[bestTool]) : "—") " |"
        print line " " goalCell(corpus, op, ours, best) " |"
    }
}

function sizeTable(corpus,    i, t, op, line, reference, s, any) {
    print ""
    print "Archive size relative to Info-ZIP's at the same level (goal for Vantrel: at most 1.03):"
    print ""
    line = "| level | Info-ZIP's archive |"
    for (t = 1; t <= nTools; t++) if (toolList[t] != "infozip") line = line " " title[toolList[t]] " |"
    print line
    line = "|---|---|"
    for (t = 2; t <= nTools; t++) line = line "---|"
    print line
    for (i = 1; i <= nOps; i++) {
        op = opList[i]
        if (op !~ /^create-/ || !((corpus SUBSEP op) in measured)) continue
        reference = size[corpus SUBSEP op SUBSEP "infozip"]
        line = "| " substr(op, 8) " | " (reference ? number(reference / 1e6) " MB" : "—") " |"
        for (t = 1; t <= nTools; t++) {
            if (toolList[t] == "infozip") continue
            s = size[corpus SUBSEP op SUBSEP toolList[t]]
            line = line " " (s && reference ? sprintf("%.3f", s / reference) : "—") " |"
        }
        print line
    }
}

function memoryTable(corpus,    i, t, op, line, key, limit) {
    print ""
    print "Peak resident memory in MB (the highest of the runs); the goal while zipping is at most"
    print "Info-ZIP's plus 64 MB per core (" cores " cores here):"
    print ""
    line = "| operation |"
    for (t = 1; t <= nTools; t++) line = line " " title[toolList[t]] " |"
    print line " goal |"
    line = "|---|"
    for (t = 1; t <= nTools + 1; t++) line = line "---|"
    print line
    for (i = 1; i <= nOps; i++) {
        op = opList[i]
        if (!((corpus SUBSEP op) in measured)) continue
        line = "| " opTitle(corpus, op) " |"
        for (t = 1; t <= nTools; t++) {
            key = corpus SUBSEP op SUBSEP toolList[t]
            line = line " " ((key in peak) ? sprintf("%.0f", peak[key] * 1024 / 1e6) : "—") " |"
        }
        limit = "—"
        key = corpus SUBSEP op SUBSEP "infozip"
        if (op ~ /^create-/ && (key in peak) && ((corpus SUBSEP op SUBSEP "vantrel") in peak)) {
            limit = peak[key] * 1024 / 1e6 + 64 * cores
            limit = sprintf("≤ %.0f: %s", limit, peak[corpus SUBSEP op SUBSEP "vantrel"] * 1024 / 1e6 <= limit ? "met" : "not met")
        }
        print line " " limit " |"
    }
}

function fidelityTable(    columns, n, i, c, line, key) {
    n = split("unzip -t|7zz t|Vantrel's test|Vantrel extracts it|diff -r with the source", columns, "|")
    print ""
    print "### Fidelity"
    print ""
    print (nFailed ? nFailed " of " nChecks " checks FAILED." : "All " nChecks " checks passed.")
    print ""
    line = "| archive or extraction |"
    for (c = 1; c <= n; c++) line = line " " columns[c] " |"
    print line
    line = "|---|"
    for (c = 1; c <= n; c++) line = line "---|"
    print line
    for (i = 1; i <= nSubjects; i++) {
        line = "| " subjects[i] " |"
        for (c = 1; c <= n; c++) {
            key = subjects[i] SUBSEP columns[c]
            line = line " " (!(key in checked) ? "" : checked[key] == "passed" ? "passed" : "**FAILED**") " |"
        }
        print line
    }
}

END {
    for (c = 1; c <= nCorpora; c++) {
        corpus = corpusList[c]
        if (!(corpus in bytes)) continue
        print ""
        printf "### %s: %s files, %s MB\n\n", corpusTitle[corpus], grouped(files[corpus]), number(bytes[corpus] / 1e6)
        print "Speed (uncompressed bytes per second, median of the runs; a listing in seconds):"
        print ""
        speedTable(corpus)
        sizeTable(corpus)
        memoryTable(corpus)
    }
    if (nChecks) fidelityTable()
}
