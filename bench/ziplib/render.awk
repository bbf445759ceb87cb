# Turns the zip benchmark's measurements into Markdown tables, one set per corpus.
# Input files (tab-separated): "meta" lines (corpus, title, files, bytes, entries), "time" lines
# (corpus, operation, tool, run, seconds, peak KiB, exit code), "size" lines (corpus,
# operation, tool, bytes), "work" lines (corpus, operation, processor seconds of the deflate
# work on one core) and "check" lines (subject, check, passed or FAILED). Variables: corpora,
# operations, tools (blank-separated, in order), titles (tool titles joined by "|"), cores, runs.
#
# The goals: store at least as fast as the fastest other tool; level 1 five times Info-ZIP's
# speed; level 5 three and a half times Info-ZIP's, at most 1.03 of its size, and within 1.3 times
# the limit of the machine (the longer of the fastest store and the deflate work divided by the
# cores); no slower than Info-ZIP at level 5 while other work holds every core; extraction and
# test three and a half times the best other tool; a listing within 1.5 times Go's time.
BEGIN {
    FS = "\t"
    nCorpora = split(corpora, corpusList, " ")
    nOps = split(operations, opList, " ")
    nTools = split(tools, toolList, " ")
    split(titles, titleList, "|")
    for (i = 1; i <= nTools; i++) title[toolList[i]] = titleList[i]
    goalBest["create-0"] = 1; goalBest["extract"] = 3.5; goalBest["test"] = 3.5
    goalInfozip["create-1"] = 5; goalInfozip["create-5"] = 3.5; goalInfozip["create-5-loaded"] = 1
    kLimitGoal = 1.3; kSizeGoal = 1.03; kListGoal = 1.5
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
$1 == "work" { work[$2 SUBSEP $3] = work[$2 SUBSEP $3] " " $4; next }
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
    if (op == "create-5-loaded") return "create, level 5, while busy loops hold every core"
    if (op ~ /^create-/) { level = op; sub(/create-/, "", level); return "create, level " level }
    if (op == "extract") return "extract Info-ZIP's level-5 archive"
    if (op == "test") return "test the same archive"
    return "list its " grouped(entries[corpus]) " entries"
}

# The median seconds of a tool at an operation; "" when not measured or failed.
function seconds(corpus, op, tool,    key) {
    key = corpus SUBSEP op SUBSEP tool
    if (!(key in times) || (key in failed)) return ""
    return median(times[key])
}

function verdict(met) { return met ? "met" : "**not met**" }

# The limit of a level-5 zip on this machine: the longer of the fastest store of the tree (any
# tool) and the deflate work divided by the cores; "" without both figures. limitNote tells how.
function levelFiveLimit(corpus,    t, s, store, storeTool, deflate) {
    store = ""
    for (t = 1; t <= nTools; t++) {
        s = seconds(corpus, "create-0", toolList[t])
        if (s != "" && (store == "" || s + 0 < store + 0)) { store = s; storeTool = toolList[t] }
    }
    if (!((corpus SUBSEP "create-5") in work)) return ""
    deflate = median(work[corpus SUBSEP "create-5"]) / cores
    limitNote = sprintf("the deflate work of the tree at level 5, %.2f s of one core (libdeflate alone, every file whole), ÷ %d cores = %.3f s", median(work[corpus SUBSEP "create-5"]), cores, deflate)
    if (store != "") limitNote = limitNote sprintf("; the fastest store, %s's, %.3f s", title[storeTool], store)
    return store != "" && store + 0 > deflate ? store + 0 : deflate
}

function goalCell(corpus, op, ours, best,    other, ratio, text, limit, mine) {
    if (ours == "") return "—"
    if (op == "list") {
        if (speed(corpus, op, "go") == "") return "—"
        ratio = speed(corpus, op, "go") / ours
        return sprintf("≤ %s × Go's time (now %.2f ×): %s", kListGoal, ratio, verdict(ratio <= kListGoal))
    }
    if (op in goalInfozip) {
        if (speed(corpus, op, "infozip") == "") return "—"
        ratio = ours / speed(corpus, op, "infozip")
        text = sprintf("≥ %s × Info-ZIP (now %.2f): %s", goalInfozip[op], ratio, verdict(ratio >= goalInfozip[op]))
        if (op == "create-5" && (limit = levelFiveLimit(corpus)) != "") {
            mine = seconds(corpus, op, "vantrel") / limit
            text = text sprintf("; ≤ %s × the limit (now %.2f): %s", kLimitGoal, mine, verdict(mine <= kLimitGoal))
        }
        return text
    }
    if (!(op in goalBest) || best == "") return "—"
    ratio = ours / best
    return sprintf("≥ %s × the best other (now %.2f): %s", goalBest[op], ratio, verdict(ratio >= goalBest[op]))
}

function speedTable(corpus,    i, t, op, line, ours, best, bestTool, s, limit) {
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
    if ((limit = levelFiveLimit(corpus)) != "" && seconds(corpus, "create-5", "vantrel") != "") {
        print ""
        printf "The limit of a level-5 zip of this tree on this machine: %.3f s, the longer of %s. Vantrel's level 5 took %.3f s, %.2f × the limit.\n", limit, limitNote, seconds(corpus, "create-5", "vantrel"), seconds(corpus, "create-5", "vantrel") / limit
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
        if (op !~ /^create-[0-9]+$/ || !((corpus SUBSEP op) in measured)) continue
        reference = size[corpus SUBSEP op SUBSEP "infozip"]
        line = "| " substr(op, 8) " | " (reference ? number(reference / 1e6) " MB" : "—") " |"
        for (t = 1; t <= nTools; t++) {
            if (toolList[t] == "infozip") continue
            s = size[corpus SUBSEP op SUBSEP toolList[t]]
            line = line " " (s && reference ? sprintf("%.3f", s / reference) : "—") " |"
        }
        print line
    }
    reference = size[corpus SUBSEP "create-5" SUBSEP "infozip"]
    s = size[corpus SUBSEP "create-5" SUBSEP "vantrel"]
    if (reference && s) {
        print ""
        printf "Vantrel's level-5 archive is %.3f of Info-ZIP's size (goal ≤ %s): %s.\n", s / reference, kSizeGoal, verdict(s / reference <= kSizeGoal)
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
