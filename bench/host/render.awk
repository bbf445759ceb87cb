# Turns the host benchmark's measurements into a Markdown table: one row per page, the median
# of the runs for each figure. Input lines (tab-separated): "page" (page, bytes, seconds of one
# request by curl on a new connection) and "wrk" (page,
# mode, run, responses per second, 50th and 99th percentile latency in ms, wrk's error lines).
# Variables: pages (blank-separated, in order), titles (joined by "|"), items.
BEGIN {
    FS = "\t"
    nPages = split(pages, pageList, " ")
    split(titles, titleList, "|")
}

$1 == "page" { bytes[$2] = $3; single[$2] = $4 * 1000; next }
$1 == "wrk" {
    key = $2 SUBSEP $3
    rate[key] = rate[key] " " $5
    if ($8 != "") errors[key] = $8
    # A run in which no response completed has no latency to count.
    if ($5 + 0 == 0) { silent[key]++; next }
    p50[key] = p50[key] " " $6
    p99[key] = p99[key] " " $7
    next
}

function median(list,    v, n, i, j, t) {
    n = split(list, v, " ")
    if (n == 0) return ""
    for (i = 2; i <= n; i++)
        for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}

function rateCell(key,    m) {
    m = median(rate[key])
    return m == "" ? "—" : m < 10 ? sprintf("%.1f", m) : sprintf("%.0f", m)
}

function msCell(list,    m) {
    m = median(list)
    return m == "" ? "—" : m >= 100 ? sprintf("%.0f", m) : m >= 10 ? sprintf("%.1f", m) : sprintf("%.2f", m)
}

function grouped(n,    s, out) {
    s = sprintf("%d", n); out = ""
    while (length(s) > 3) { out = "," substr(s, length(s) - 2) out; s = substr(s, 1, length(s) - 3) }
    return s out
}

# The page's goal and whether it is met: the controls page's responses a second on 16 kept-alive
# connections, the big pages' time on one kept-alive connection (p50: one request at a time), the
# zip calls' 99th percentile while 16 connections queue for the slot.
function goalCell(page,    m, limit) {
    if (page == "controls") {
        m = median(rate[page SUBSEP "keep"])
        return m == "" ? "—" : sprintf("≥ 5,000/s on 16 kept alive: %s", m + 0 >= 5000 ? "met" : "**not met**")
    }
    if (page == "source" || page == "contents") {
        m = median(p50[page SUBSEP "one-keep"])
        limit = page == "source" ? 30 : 250
        return m == "" ? "—" : sprintf("≤ %d ms on 1 kept alive (now %s): %s", limit, msCell(m), m + 0 <= limit ? "met" : "**not met**")
    }
    if (page == "zipcall") {
        m = median(p99[page SUBSEP "keep"])
        return m == "" ? "—" : sprintf("p99 < 300 ms on 16 kept alive: %s", m + 0 < 300 ? "met" : "**not met**")
    }
    return "—"
}

END {
    print "| page | bytes | curl, one request: ms | 16 kept alive: responses/s | p50 ms | p99 ms | 16 close: responses/s | p99 ms | 1 kept alive: responses/s | p50 ms | 1 close: p50 ms | goal |"
    print "|---|---|---|---|---|---|---|---|---|---|---|---|"
    for (i = 1; i <= nPages; i++) {
        page = pageList[i]
        title = titleList[i]
        sub(/N/, grouped(items), title)
        kept = page SUBSEP "keep"; closing = page SUBSEP "close"
        one = page SUBSEP "one-keep"; oneClosing = page SUBSEP "one-close"
        printf "| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", title, grouped(bytes[page]),
            msCell(single[page]), rateCell(kept), msCell(p50[kept]), msCell(p99[kept]), rateCell(closing),
            msCell(p99[closing]), rateCell(one), msCell(p50[one]), msCell(p50[oneClosing]), goalCell(page)
    }
    for (key in silent) {
        split(key, part, SUBSEP)
        notes = notes sprintf("\n- %s, %s: no response completed in %d run(s)", part[1], part[2], silent[key])
    }
    for (key in errors) {
        split(key, part, SUBSEP)
        notes = notes sprintf("\n- %s, %s: %s", part[1], part[2], errors[key])
    }
    if (notes != "") print "\nwrk reported (errors: in the last run of each):" notes
}
